#include "platform/IniFile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "platform/Cp1251.h"

namespace lq {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    return s;
}

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::string_view Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }

// Names match ignoring blanks around them and letter case (by the code page, as the profile
// functions of the original platform compare them).
bool SameName(std::string_view a, std::string_view b) {
    a = Trim(a);
    b = Trim(b);
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Cp1251ToLower(static_cast<unsigned char>(a[i])) != Cp1251ToLower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// One line of the file: [begin, end) is its text, `next` the start of the following line (past
// its line end, which is CR LF, LF or a lone CR; equal to `end` for a last line without one).
struct Line {
    size_t begin = 0, end = 0, next = 0;
    bool HasBreak() const { return next > end; }
};

enum class LineKind { Other, Section, Key };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // key value, trimmed
};

bool NextLine(const std::string& text, size_t pos, Line& line) {
    if (pos >= text.size()) return false;
    const size_t brk = text.find_first_of("\r\n", pos);
    line.begin = pos;
    // A UTF-8 byte order mark before the first line is no part of it (and stays in the file).
    if (pos == 0 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) line.begin = std::min<size_t>(3, brk);
    if (brk == std::string::npos) {
        line.end = line.next = text.size();
    } else {
        line.end = brk;
        line.next = brk + (text.compare(brk, 2, "\r\n") == 0 ? 2 : 1);
    }
    return true;
}

ParsedLine Parse(std::string_view raw) {
    ParsedLine p;
    const std::string_view s = Trim(raw);
    if (s.empty() || s.front() == ';') return p;  // blank line or comment
    if (s.front() == '[') {
        const size_t close = s.rfind(']');
        if (close != std::string_view::npos) {
            p.kind = LineKind::Section;
            p.name = Trim(s.substr(1, close - 1));
            return p;
        }
    }
    const size_t eq = s.find('=');
    if (eq == std::string_view::npos) return p;
    p.kind = LineKind::Key;
    p.name = Trim(s.substr(0, eq));
    p.value = Trim(s.substr(eq + 1));
    return p;
}

std::string_view LineText(const std::string& text, const Line& l) {
    return std::string_view(text).substr(l.begin, l.end - l.begin);
}

// The header line of the first section named `section`; false when there is none.
bool FindSection(const std::string& text, std::string_view section, Line& header) {
    Line l;
    for (size_t pos = 0; NextLine(text, pos, l); pos = l.next) {
        const ParsedLine p = Parse(LineText(text, l));
        if (p.kind == LineKind::Section && SameName(p.name, section)) {
            header = l;
            return true;
        }
    }
    return false;
}

std::string_view StripQuotes(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

std::string Cut(std::string_view v, size_t bufferSize) {
    if (bufferSize == 0) return {};
    return std::string(v.substr(0, std::min(v.size(), bufferSize - 1)));
}

// The line break for new lines: CR LF when the file's first line end has a CR (a lone CR is
// never written), else "\n" (also for a new file).
std::string_view LineBreakOf(const std::string& text) {
    const size_t brk = text.find_first_of("\r\n");
    return brk != std::string::npos && text[brk] == '\r' ? "\r\n" : "\n";
}

// A line break inside a name or value would make lines of its own.
std::string OneLine(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c == '\n' || c == '\r') c = ' ';
    return out;
}

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// The file a save replaces: a symbolic link is followed, so the link itself survives.
std::string SaveTarget(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = realpath(path.c_str(), nullptr)) {
            std::string r = real;
            std::free(real);
            return r;
        }
    }
    return path;
}

// Creates a new, empty file beside `target` and returns its descriptor (-1 on failure).
// The mode 0666 lets the umask decide the permissions, as for any file the program creates.
int CreateTempBeside(const std::string& target, std::string& tempPath) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = target + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(counter++);
        const int fd = open(tempPath.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
        if (fd >= 0) return fd;
        if (errno != EEXIST && errno != EINTR) return -1;
    }
    return -1;
}

void SyncFolder(const std::string& file) {
    const std::string dir = std::filesystem::path(file).parent_path().string();
    const int fd = open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

}  // namespace

IniFile::IniFile(std::string path) : path_(std::move(path)) {}

bool IniFile::Load() {
    text_.clear();
    loadFailed_ = true;
    const int fd = open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT) return false;
        loadFailed_ = false;  // a missing file is an empty one
        return true;
    }
    std::string bytes;
    char buf[8192];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            close(fd);
            return false;
        }
        if (n == 0) break;
        bytes.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    text_ = std::move(bytes);
    loadFailed_ = false;
    return true;
}

bool IniFile::Save() {
    // The text of a file that could not be read is not the file's: writing it would lose the rest.
    if (loadFailed_) return false;
    const std::string target = SaveTarget(path_);
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::path(target).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);

    std::string temp;
    const int fd = CreateTempBeside(target, temp);
    if (fd < 0) return false;
    struct stat old;
    bool ok = true;
    if (stat(target.c_str(), &old) == 0) ok = fchmod(fd, old.st_mode & 07777) == 0;  // keep the old permissions
    ok = ok && WriteAll(fd, text_) && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    // The old file is replaced only by a complete new one.
    if (!ok || rename(temp.c_str(), target.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    SyncFolder(target);
    return true;
}

std::string IniFile::GetString(std::string_view section, std::string_view key, std::string_view defaultValue,
                               size_t bufferSize) const {
    Line header;
    if (FindSection(text_, section, header)) {
        Line l;
        for (size_t pos = header.next; NextLine(text_, pos, l); pos = l.next) {
            const ParsedLine p = Parse(LineText(text_, l));
            if (p.kind == LineKind::Section) break;
            if (p.kind == LineKind::Key && SameName(p.name, key)) return Cut(StripQuotes(p.value), bufferSize);
        }
    }
    return Cut(TrimRight(defaultValue), bufferSize);
}

void IniFile::SetString(std::string_view section, std::string_view key, std::string_view value) {
    const std::string eol(LineBreakOf(text_));
    const std::string keyLine = OneLine(Trim(key)) + "=" + OneLine(value);

    Line header;
    if (!FindSection(text_, section, header)) {
        if (!text_.empty() && text_.back() != '\n' && text_.back() != '\r') text_ += eol;
        text_.append("[").append(OneLine(Trim(section))).append("]").append(eol).append(keyLine).append(eol);
        return;
    }

    // The first key of that name is replaced in place; otherwise the key goes after the
    // section's last non-blank line. A replaced line ends as it did, except that a line end with
    // a CR (CR LF or a lone CR) becomes exactly one CR LF.
    size_t insertAt = header.next;
    bool lastHasBreak = header.HasBreak();
    Line l;
    for (size_t pos = header.next; NextLine(text_, pos, l); pos = l.next) {
        const std::string_view raw = LineText(text_, l);
        const ParsedLine p = Parse(raw);
        if (p.kind == LineKind::Section) break;
        if (p.kind == LineKind::Key && SameName(p.name, key)) {
            const std::string_view oldBreak = std::string_view(text_).substr(l.end, l.next - l.end);
            const std::string_view newBreak = oldBreak.empty() ? "" : oldBreak == "\n" ? "\n" : "\r\n";
            text_.replace(l.begin, l.next - l.begin, keyLine + std::string(newBreak));
            return;
        }
        if (!Trim(raw).empty()) {
            insertAt = l.next;
            lastHasBreak = l.HasBreak();
        }
    }
    if (lastHasBreak)
        text_.insert(insertAt, keyLine + eol);
    else
        text_.insert(insertAt, eol + keyLine);
}

std::string DefaultIniPath() {
    const auto env = [](const char* name) -> std::string {
        const char* v = std::getenv(name);
        return v ? v : "";
    };
    std::string dir = env("LINDQUEST_INI_DIR");
    if (dir.empty()) {
        dir = env("XDG_CONFIG_HOME");
        if (!dir.empty() && dir.front() != '/') dir.clear();  // only an absolute folder counts
    }
    if (dir.empty()) {
        std::string home = env("HOME");
        if (home.empty()) {
            if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) home = pw->pw_dir;
        }
        dir = home + "/.config";
    }
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir + "/Tessarin.ini";
}

}  // namespace lq
