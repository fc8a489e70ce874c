#include "tests/modules/OldDataWriter.h"

#include <bit>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace lq::test {
namespace {

void Put(std::string& b, uint32_t v, int bytes) {
    for (int k = 0; k < bytes; ++k) b += static_cast<char>((v >> (8 * k)) & 0xFF);
}
void Put16(std::string& b, int v) { Put(b, static_cast<uint16_t>(v), 2); }
void Put32(std::string& b, int32_t v) { Put(b, static_cast<uint32_t>(v), 4); }
void PutF(std::string& b, float v) { Put(b, std::bit_cast<uint32_t>(v), 4); }

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f) throw std::runtime_error("cannot write " + path);
}

}  // namespace

std::string EncodeOldIndex(const std::vector<OldIndexRecord>& records) {
    std::string b;
    for (const OldIndexRecord& r : records) {
        Put32(b, r.irange);
        Put32(b, r.position);
        Put16(b, r.day);
        Put16(b, r.time);
        Put16(b, r.iaansw);
        Put16(b, r.igansw);
        Put16(b, r.module);
        Put16(b, r.irng_2);
        Put32(b, r.isndbg);
        Put32(b, r.isndfn);
    }
    return b;
}

std::string EncodeOldImages(const std::vector<OldImagesRecord>& records) {
    std::string b;
    for (const OldImagesRecord& r : records) {
        Put32(b, 0x7A7A7A7A);  // fields the import does not read
        Put16(b, 0x7A7A);
        Put16(b, r.count);
        for (int p : r.pictures) Put16(b, p);
        Put16(b, 0x7A7A);
    }
    return b;
}

std::string EncodeOldWords(const std::vector<OldWordRecord>& words, std::optional<int32_t> count) {
    std::string b;
    Put32(b, count.value_or(static_cast<int32_t>(words.size())));
    for (const OldWordRecord& w : words) {
        Put16(b, w.icount);
        Put16(b, w.ianswr);
        Put16(b, w.istate);
        Put16(b, 0x7A7A);
        std::string field = w.word.substr(0, 32);
        field.resize(32, '\0');
        b += field;
    }
    return b;
}

std::string EncodeOldPoints(const std::vector<OldAnswerPoint>& points, std::optional<int32_t> count) {
    std::string b;
    Put32(b, count.value_or(static_cast<int32_t>(points.size())));
    for (const OldAnswerPoint& p : points) {
        PutF(b, p.glrang);
        Put16(b, p.isentn);
        Put16(b, 0x7A7A);
        PutF(b, p.day);
        PutF(b, p.glansn);
    }
    return b;
}

std::string JoinLines(const std::vector<std::string>& lines, const char* eol) {
    std::string text;
    for (const std::string& l : lines) text += l + eol;
    return text;
}

std::vector<std::string> OldDataSet::ItemLines() const {
    std::vector<std::string> lines;
    for (const OldSentenceLines& s : items) {
        for (const std::string* l : {&s.before, &s.actual, &s.signs, &s.after, &s.translation}) lines.push_back(*l);
    }
    return lines;
}

void OldDataSet::Write(const std::string& dir) const {
    WriteFile(dir + "/" + kOldSoundsList, JoinLines(modules, eol));
    WriteFile(dir + "/" + kOldItems, JoinLines(ItemLines(), eol));
    WriteFile(dir + "/" + kOldItemsIndex, EncodeOldIndex(index));
    WriteFile(dir + "/" + kOldItemsImages, EncodeOldImages(images));
    if (withWords) WriteFile(dir + "/" + kOldWordsStat, EncodeOldWords(words, wordCount));
    if (withPoints) WriteFile(dir + "/" + kOldAnswerPoints, EncodeOldPoints(points, pointCount));
}

OldIndexRecord OldRecord(int32_t position, int16_t module, uint16_t day, uint16_t time, uint16_t igansw, int16_t irng2) {
    OldIndexRecord r;
    r.position = position;
    r.module = module;
    r.day = day;
    r.time = time;
    r.igansw = igansw;
    r.irng_2 = irng2;
    return r;
}

}  // namespace lq::test
