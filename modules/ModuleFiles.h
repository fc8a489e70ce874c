#pragma once
// The files of a lesson module in Data/: the names derived from the sentence file's name, the
// line files (".txt" sentences, ".txr" translations) and the sentence index (".pos").
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lq {

inline constexpr const char* kModuleFolder = "Data";

// The names that follow from a sentence file's bare name such as "unit07.txt".
struct ModuleNames {
    std::string text;         // "unit07.txt", as given
    std::string sound;        // "unit07.mp3"; also the module's stored name (sounds.sfname)
    std::string index;        // "unit07.pos"
    std::string translation;  // "unit07.txr"

    // Only "stem.ext": a non-empty stem, a dot, a three-character extension, and no folder
    // separator anywhere. Anything else has no module names.
    static std::optional<ModuleNames> FromTextName(const std::string& name);
};

// ASCII letters lower-cased; every other byte kept.
std::string AsciiLowerText(std::string_view text);

// The duplicate test's key of any of a module's file names, stored or in the folder ("Unit07.MP3",
// "unit07.txt" -> "unit07"; "old1.mpeg" -> "old1"; "old2mp3x" -> "old2mp3x"): the name up to a
// NUL byte, in cp1251 (NameToCp1251, so that the two encodings of one name give one key), less
// its extension from its last dot, ASCII lower-cased.
std::string ModuleKey(std::string_view fileName);

// Bytes 0..32 removed at both ends.
std::string_view TrimControls(std::string_view text);

// The lines of a text file's bytes: split at CR LF, LF or a lone CR; a last line without a line
// end counts, a line end at the very end adds no empty line. Each line is trimmed. A NUL byte
// reads as a blank. A file that is valid UTF-8 with non-ASCII characters is converted to cp1251
// first; a leading UTF-8 byte order mark is dropped either way (TextFileToCp1251).
std::vector<std::string> SplitModuleLines(std::string_view fileBytes);

// A sentence text as the sentence columns store it: every "'" as "#*#", then every pair of
// blanks as one blank in a single left-to-right pass (three blanks become two).
std::string StoredSentenceText(std::string_view line);

// The whole file, or nullopt when it cannot be read (a folder cannot), with the system's reason
// ("Permission denied") in `error`. At most `limit` bytes are read.
std::optional<std::string> ReadFileBytes(const std::string& path, size_t limit = SIZE_MAX,
                                         std::string* error = nullptr);

// One sentence of the index, with its picture record.
struct PosRecord {
    int32_t flag = 0;   // 0: the sentence is not imported
    int32_t start = 0;  // in samples of 1/11025 s
    int32_t end = 0;
    int pictureCount = 0;               // 0..5
    std::array<int, 5> pictures{0, 0, 0, 0, 0};  // 0-based numbers in the .ims
};

inline constexpr int kMaxModuleSentences = 500;
inline constexpr size_t kPosPictureTable = 4 + 12 * kMaxModuleSentences;  // 6004
inline constexpr size_t kPosFileSize = kPosPictureTable + 12 * kMaxModuleSentences;

// The sentence records of a ".pos" file (little-endian): int32 N at 0, 12-byte records
// (flag, start, end) at 4 + 12i, and six int16 (count, five picture numbers) at 6004 + 12i.
// Only complete records are taken, at most min(N, 500); a record without its picture record
// has no pictures; the picture count is clamped to 0..5. A file shorter than 4 bytes has none.
std::vector<PosRecord> ParsePosFile(std::string_view bytes);

}  // namespace lq
