#pragma once
// The data files of the program's older version, kept with bare names in the program folder:
// "SoundsList.txt" (modules), "Items.txt" (five text lines per sentence), "ItemsInd.dat" (the
// sentences' schedule), "ItemsImsInd.dat" (their pictures), "WordsStat.dat" (word statistics)
// and "AnswPnt.dat" (score history). The .dat files are little-endian and are decoded field by
// field; every count is checked against the bytes the file really holds.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lq {

inline constexpr const char* kOldSoundsList = "SoundsList.txt";
inline constexpr const char* kOldItems = "Items.txt";
inline constexpr const char* kOldItemsIndex = "ItemsInd.dat";
inline constexpr const char* kOldItemsImages = "ItemsImsInd.dat";
inline constexpr const char* kOldWordsStat = "WordsStat.dat";
inline constexpr const char* kOldAnswerPoints = "AnswPnt.dat";

inline constexpr size_t kOldIndexRecordSize = 28;
inline constexpr size_t kOldImagesRecordSize = 20;
inline constexpr size_t kOldWordRecordSize = 40;
inline constexpr size_t kOldAnswerPointSize = 16;
inline constexpr size_t kOldWordBytes = 32;

// Day number (from 1899-12-30) of the old version's day 0, 2003-12-25.
inline constexpr double kOldDayZero = 37980.0;

// One sentence of "ItemsInd.dat".
struct OldIndexRecord {
    int32_t irange = 0;
    int32_t position = 0;  // 0 .. n-1: its lines in Items.txt and its record in ItemsImsInd.dat
    uint16_t day = 0;      // of the last answer, from 2003-12-25
    uint16_t time = 0;     // of the last answer, in 10-second steps from midnight
    uint16_t iaansw = 0;
    uint16_t igansw = 0;
    int16_t module = 0;  // line number in SoundsList.txt
    int16_t irng_2 = 0;
    int32_t isndbg = 0;
    int32_t isndfn = 0;
};

// One record of "ItemsImsInd.dat".
struct OldImagesRecord {
    int count = 0;  // 0..5
    std::array<int, 5> pictures{0, 0, 0, 0, 0};
};

// One record of "WordsStat.dat"; `word` as the file holds it (at most 32 bytes, up to its NUL).
struct OldWordRecord {
    int icount = 0, ianswr = 0, istate = 0;
    std::string word;
};

// One record of "AnswPnt.dat".
struct OldAnswerPoint {
    float glrang = 0.0f;
    int isentn = 0;
    float day = 0.0f;  // days since 2003-12-25 00:00, the fraction being the time of day
    float glansn = 0.0f;
};

// The decoders. Only whole records are taken; a count field is clamped to the records the file
// holds, and a negative count reads as none.
std::vector<OldIndexRecord> ParseOldIndex(std::string_view bytes);
std::vector<OldImagesRecord> ParseOldImages(std::string_view bytes);  // count clamped to 0..5
std::vector<OldWordRecord> ParseOldWords(std::string_view bytes);
std::vector<OldAnswerPoint> ParseOldAnswerPoints(std::string_view bytes);

// The lines of a text file as read (not trimmed): CR LF, LF and a lone CR each end a line; a
// last line without a line end counts; no empty line follows a final line end.
std::vector<std::string> SplitLinesAsRead(std::string_view bytes);

// A line of "SoundsList.txt": a line that does not begin with "*" is read as if "*+   " stood
// before it; characters 1-5 are the head ("*+   " = selected), 6-10 are skipped, the rest up to
// a NUL byte (where the older version's text ended) is the sound file's name.
struct OldModuleLine {
    int isigns = 0;
    std::string name;
};
OldModuleLine ParseOldModuleLine(std::string_view line);

// The signs line of a sentence: longer than two characters -> its first character's digit value
// (a non-digit counts 0) and the text from the third character on; otherwise 1 and "".
struct OldSigns {
    int isigns = 1;
    std::string strind;
};
OldSigns ParseOldSigns(std::string_view line);

// 37980 + day + time / 8640, in double precision.
double OldDateStamp(uint16_t day, uint16_t time);

// The days from a sentence's last answer to its next one, by its good-answer count; the first
// matching row counts: 0 -> 0, 1 -> 0.5, 2 -> 1, 3 -> 2, 4 -> 4, 5 up to inputAfter-1 -> 8,
// inputAfter or more -> irng_2 * 0.025.
double OldInterval(int igansw, int irng2, int inputAfter);

// A word of "WordsStat.dat" in its stored form: lower-cased by the code page, "'" as "*".
std::string OldStoredWord(std::string_view word);

// The six files read from the program folder (found ignoring letter case).
struct OldDataFiles {
    enum class Status {
        Ok,
        Missing,     // one of the four required files is missing: nothing is done
        Unreadable,  // a file exists but cannot be read: `unreadable` names it
    };
    Status status = Status::Missing;
    std::string unreadable;

    std::vector<std::string> modules;  // SoundsList.txt
    std::vector<std::string> items;    // Items.txt
    std::vector<OldIndexRecord> index;
    std::vector<OldImagesRecord> images;  // whole records only; the rest count as all zero
    std::vector<OldWordRecord> words;     // empty without WordsStat.dat
    std::vector<OldAnswerPoint> points;   // empty without AnswPnt.dat
};
using FileReader = std::function<std::optional<std::string>(const std::string& path)>;
// True when the four required files are there.
bool OldDataPresent(const std::string& programDir);
// `read` reads a whole file (nullopt when it cannot); by default ReadFileBytes.
OldDataFiles ReadOldData(const std::string& programDir, const FileReader& read = {});

}  // namespace lq
