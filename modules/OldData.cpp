#include "modules/OldData.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "modules/ModuleFiles.h"
#include "modules/ModuleFolder.h"
#include "platform/Cp1251.h"

namespace lq {
namespace {

// Little-endian fields, assembled byte by byte; `at` + width must lie inside `b`.
uint32_t U32At(std::string_view b, size_t at) {
    uint32_t v = 0;
    for (int k = 3; k >= 0; --k) v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<size_t>(k)]);
    return v;
}
uint16_t U16At(std::string_view b, size_t at) {
    return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8));
}
int16_t I16At(std::string_view b, size_t at) { return static_cast<int16_t>(U16At(b, at)); }
int32_t I32At(std::string_view b, size_t at) { return static_cast<int32_t>(U32At(b, at)); }
float F32At(std::string_view b, size_t at) { return std::bit_cast<float>(U32At(b, at)); }

// The records of a file made of an int32 count and `size`-byte records from offset 4.
size_t CountedRecords(std::string_view bytes, size_t size) {
    if (bytes.size() < 4) return 0;
    const int32_t count = I32At(bytes, 0);
    if (count <= 0) return 0;
    return std::min(static_cast<size_t>(count), (bytes.size() - 4) / size);
}

}  // namespace

std::vector<OldIndexRecord> ParseOldIndex(std::string_view bytes) {
    std::vector<OldIndexRecord> records(bytes.size() / kOldIndexRecordSize);
    for (size_t i = 0; i < records.size(); ++i) {
        const size_t at = i * kOldIndexRecordSize;
        OldIndexRecord& r = records[i];
        r.irange = I32At(bytes, at);
        r.position = I32At(bytes, at + 4);
        r.day = U16At(bytes, at + 8);
        r.time = U16At(bytes, at + 10);
        r.iaansw = U16At(bytes, at + 12);
        r.igansw = U16At(bytes, at + 14);
        r.module = I16At(bytes, at + 16);
        r.irng_2 = I16At(bytes, at + 18);
        r.isndbg = I32At(bytes, at + 20);
        r.isndfn = I32At(bytes, at + 24);
    }
    return records;
}

std::vector<OldImagesRecord> ParseOldImages(std::string_view bytes) {
    std::vector<OldImagesRecord> records(bytes.size() / kOldImagesRecordSize);
    for (size_t i = 0; i < records.size(); ++i) {
        const size_t at = i * kOldImagesRecordSize;
        records[i].count = std::clamp<int>(I16At(bytes, at + 6), 0, 5);
        for (size_t k = 0; k < 5; ++k) records[i].pictures[k] = I16At(bytes, at + 8 + 2 * k);
    }
    return records;
}

std::vector<OldWordRecord> ParseOldWords(std::string_view bytes) {
    std::vector<OldWordRecord> words(CountedRecords(bytes, kOldWordRecordSize));
    for (size_t i = 0; i < words.size(); ++i) {
        const size_t at = 4 + i * kOldWordRecordSize;
        words[i].icount = I16At(bytes, at);
        words[i].ianswr = I16At(bytes, at + 2);
        words[i].istate = I16At(bytes, at + 4);
        const std::string_view field = bytes.substr(at + 8, kOldWordBytes);
        words[i].word = std::string(field.substr(0, std::min(field.find('\0'), field.size())));
    }
    return words;
}

std::vector<OldAnswerPoint> ParseOldAnswerPoints(std::string_view bytes) {
    std::vector<OldAnswerPoint> points(CountedRecords(bytes, kOldAnswerPointSize));
    for (size_t i = 0; i < points.size(); ++i) {
        const size_t at = 4 + i * kOldAnswerPointSize;
        points[i].glrang = F32At(bytes, at);
        points[i].isentn = U16At(bytes, at + 4);
        points[i].day = F32At(bytes, at + 8);
        points[i].glansn = F32At(bytes, at + 12);
    }
    return points;
}

std::vector<std::string> SplitLinesAsRead(std::string_view bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n') continue;
        lines.emplace_back(bytes.substr(start, i - start));
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < bytes.size()) lines.emplace_back(bytes.substr(start));
    return lines;
}

OldModuleLine ParseOldModuleLine(std::string_view line) {
    static constexpr std::string_view kSelected = "*+   ";
    std::string full = line.empty() || line[0] != '*' ? std::string(kSelected) + std::string(line) : std::string(line);
    OldModuleLine m;
    m.isigns = full.compare(0, kSelected.size(), kSelected) == 0 ? 1 : 0;
    m.name = full.size() > 10 ? full.substr(10) : std::string();
    m.name.resize(std::min(m.name.size(), m.name.find('\0')));
    return m;
}

OldSigns ParseOldSigns(std::string_view line) {
    OldSigns s;
    if (line.size() <= 2) return s;
    s.isigns = (line[0] >= '0' && line[0] <= '9') ? line[0] - '0' : 0;
    s.strind = std::string(line.substr(2));
    return s;
}

double OldDateStamp(uint16_t day, uint16_t time) { return kOldDayZero + day + time / 8640.0; }

double OldInterval(int igansw, int irng2, int inputAfter) {
    switch (igansw) {
        case 0: return 0.0;
        case 1: return 0.5;
        case 2: return 1.0;
        case 3: return 2.0;
        case 4: return 4.0;
        default: break;
    }
    if (igansw >= 5 && igansw < inputAfter) return 8.0;
    return irng2 * 0.025;
}

std::string OldStoredWord(std::string_view word) {
    std::string w = Cp1251Lower(word);
    std::replace(w.begin(), w.end(), '\'', '*');
    return w;
}

bool OldDataPresent(const std::string& programDir) {
    for (const char* name : {kOldItems, kOldSoundsList, kOldItemsIndex, kOldItemsImages}) {
        if (FindModuleFile(programDir, name).empty()) return false;
    }
    return true;
}

OldDataFiles ReadOldData(const std::string& programDir, const FileReader& reader) {
    OldDataFiles files;
    if (!OldDataPresent(programDir)) return files;  // Missing
    // Every file that is there must be readable; nothing is taken from a file read in part.
    auto read = [&](const char* name) -> std::string {
        const std::string path = FindModuleFile(programDir, name);
        if (path.empty() || files.status == OldDataFiles::Status::Unreadable) return {};
        std::optional<std::string> bytes = reader ? reader(path) : ReadFileBytes(path);
        if (!bytes) {
            files.status = OldDataFiles::Status::Unreadable;
            files.unreadable = path;
            return {};
        }
        return std::move(*bytes);
    };
    files.status = OldDataFiles::Status::Ok;
    const std::string modules = read(kOldSoundsList);
    const std::string items = read(kOldItems);
    const std::string index = read(kOldItemsIndex);
    const std::string images = read(kOldItemsImages);
    const std::string words = read(kOldWordsStat);
    const std::string points = read(kOldAnswerPoints);
    if (files.status != OldDataFiles::Status::Ok) return files;
    files.modules = SplitLinesAsRead(modules);
    files.items = SplitLinesAsRead(items);
    files.index = ParseOldIndex(index);
    files.images = ParseOldImages(images);
    files.words = ParseOldWords(words);
    files.points = ParseOldAnswerPoints(points);
    return files;
}

}  // namespace lq
