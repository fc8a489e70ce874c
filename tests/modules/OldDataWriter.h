#pragma once
// Writes the older version's six data files from plain values, so that each test states its
// input beside the rows it expects. Little-endian, field by field, as the old program laid them.
#include <optional>
#include <string>
#include <vector>

#include "modules/OldData.h"

namespace lq::test {

// The five lines of one sentence in Items.txt.
struct OldSentenceLines {
    std::string before, actual, signs, after, translation;
};

std::string EncodeOldIndex(const std::vector<OldIndexRecord>& records);
std::string EncodeOldImages(const std::vector<OldImagesRecord>& records);
// A word of 32 bytes or more is written without its terminating NUL (cut at 32).
std::string EncodeOldWords(const std::vector<OldWordRecord>& words, std::optional<int32_t> count = std::nullopt);
std::string EncodeOldPoints(const std::vector<OldAnswerPoint>& points, std::optional<int32_t> count = std::nullopt);
std::string JoinLines(const std::vector<std::string>& lines, const char* eol = "\r\n");

// One old data set; Write puts the files that are not left out into `dir`.
struct OldDataSet {
    std::vector<std::string> modules;  // SoundsList.txt lines
    std::vector<OldSentenceLines> items;
    std::vector<OldIndexRecord> index;
    std::vector<OldImagesRecord> images;
    std::vector<OldWordRecord> words;
    std::vector<OldAnswerPoint> points;
    std::optional<int32_t> wordCount, pointCount;  // count fields other than the records'
    bool withWords = true, withPoints = true;
    const char* eol = "\r\n";

    std::vector<std::string> ItemLines() const;
    void Write(const std::string& dir) const;
};

// An index record with the fields most tests set.
OldIndexRecord OldRecord(int32_t position, int16_t module, uint16_t day = 0, uint16_t time = 0, uint16_t igansw = 0,
                         int16_t irng2 = 0);

}  // namespace lq::test
