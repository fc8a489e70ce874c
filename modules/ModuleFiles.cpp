#include "modules/ModuleFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "platform/Cp1251.h"

namespace lq {
namespace {

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

int32_t Int32At(std::string_view b, size_t at) {
    const auto u = [&](size_t k) { return static_cast<uint32_t>(static_cast<unsigned char>(b[at + k])); };
    return static_cast<int32_t>(u(0) | (u(1) << 8) | (u(2) << 16) | (u(3) << 24));
}

int Int16At(std::string_view b, size_t at) {
    const auto u = [&](size_t k) { return static_cast<uint16_t>(static_cast<unsigned char>(b[at + k])); };
    return static_cast<int16_t>(static_cast<uint16_t>(u(0) | (u(1) << 8)));
}

}  // namespace

std::string AsciiLowerText(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = AsciiLower(c);
    return out;
}

std::optional<ModuleNames> ModuleNames::FromTextName(const std::string& name) {
    if (name.size() < 5 || name[name.size() - 4] != '.') return std::nullopt;
    if (name.find_first_of("/\\") != std::string::npos) return std::nullopt;
    const std::string_view ext = std::string_view(name).substr(name.size() - 3);
    if (ext.find('.') != std::string_view::npos) return std::nullopt;
    const std::string stem = name.substr(0, name.size() - 3);  // "unit07."
    ModuleNames n;
    n.text = name;
    n.sound = stem + "mp3";
    n.index = stem + "pos";
    n.translation = stem + "txr";
    return n;
}

std::string ModuleKey(std::string_view fileName) {
    const std::string name = NameToCp1251(fileName.substr(0, fileName.find('\0')));
    return AsciiLowerText(std::string_view(name).substr(0, name.rfind('.')));
}

std::string_view TrimControls(std::string_view text) {
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    size_t b = 0, e = text.size();
    while (b < e && blank(text[b])) ++b;
    while (e > b && blank(text[e - 1])) --e;
    return text.substr(b, e - b);
}

std::vector<std::string> SplitModuleLines(std::string_view fileBytes) {
    // A NUL byte would end the text wherever it is handled as a C string: it reads as a blank.
    // (In UTF-8 a zero byte is only ever U+0000, so this is safe before the conversion.)
    std::string bytes(fileBytes);
    std::replace(bytes.begin(), bytes.end(), '\0', ' ');
    const std::string text = TextFileToCp1251(bytes);
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.emplace_back(TrimControls(std::string_view(text).substr(start, i - start)));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.emplace_back(TrimControls(std::string_view(text).substr(start)));
    return lines;
}

std::string StoredSentenceText(std::string_view line) {
    std::string escaped;
    escaped.reserve(line.size() + 8);
    for (char c : line) {
        if (c == '\'') escaped += "#*#";
        else escaped += c;
    }
    std::string out;
    out.reserve(escaped.size());
    for (size_t i = 0; i < escaped.size(); ++i) {
        out += escaped[i];
        if (escaped[i] == ' ' && i + 1 < escaped.size() && escaped[i + 1] == ' ') ++i;
    }
    return out;
}

std::optional<std::string> ReadFileBytes(const std::string& path, size_t limit, std::string* error) {
    const auto failed = [error](int code) {
        if (error) *error = std::system_category().message(code);
        return std::nullopt;
    };
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return failed(errno);
    std::string bytes;
    char buf[65536];
    while (bytes.size() < limit) {
        const ssize_t got = read(fd, buf, std::min(sizeof buf, limit - bytes.size()));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int code = errno;
            close(fd);
            return failed(code);
        }
        if (got == 0) break;
        bytes.append(buf, static_cast<size_t>(got));
    }
    close(fd);
    return bytes;
}

std::vector<PosRecord> ParsePosFile(std::string_view bytes) {
    std::vector<PosRecord> records;
    if (bytes.size() < 4) return records;
    const int32_t n = Int32At(bytes, 0);
    const size_t complete = (std::min(bytes.size(), kPosPictureTable) - 4) / 12;
    const size_t count = n <= 0 ? 0 : std::min({static_cast<size_t>(n), static_cast<size_t>(kMaxModuleSentences), complete});
    records.resize(count);
    for (size_t i = 0; i < count; ++i) {
        PosRecord& r = records[i];
        const size_t at = 4 + 12 * i;
        r.flag = Int32At(bytes, at);
        r.start = Int32At(bytes, at + 4);
        r.end = Int32At(bytes, at + 8);
        const size_t pic = kPosPictureTable + 12 * i;
        if (pic + 12 <= bytes.size()) {
            r.pictureCount = std::clamp(Int16At(bytes, pic), 0, 5);
            for (int k = 0; k < 5; ++k) r.pictures[k] = Int16At(bytes, pic + 2 + 2 * k);
        }
    }
    return records;
}

}  // namespace lq
