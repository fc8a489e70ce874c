#pragma once
// A private-profile ("INI") file with the semantics of the Windows profile functions:
// case-insensitive section and key names with surrounding blanks ignored, the first match wins,
// ';' comment lines, one pair of surrounding quotes stripped, an empty value is "", and a
// missing key gives the default with its trailing blanks removed. Values are cut to the
// caller's buffer size less one. A line ends at CR LF, LF or a lone CR. Writes replace the first
// matching key's line in place (or add the key at the end of its section, or the section at the
// end of the file) and keep every other byte; a written line ends with LF in a file whose first
// line end is LF, else with exactly one CR LF. Save writes the whole file atomically (temporary
// file, then rename).
#include <string>
#include <string_view>

namespace lq {

class IniFile {
public:
    explicit IniFile(std::string path);

    const std::string& Path() const { return path_; }

    // Reads the file into memory; a missing file is an empty one. False only on a read error.
    bool Load();
    // Writes the in-memory text atomically. False (and the old file untouched) on failure, and
    // after a Load that failed, so that a file that could not be read is never replaced.
    bool Save();

    // GetPrivateProfileString with a buffer of `bufferSize` bytes (the result has at most
    // bufferSize - 1 characters).
    std::string GetString(std::string_view section, std::string_view key, std::string_view defaultValue,
                          size_t bufferSize = 10) const;
    // WritePrivateProfileString into the in-memory text (Save writes it out).
    void SetString(std::string_view section, std::string_view key, std::string_view value);

    const std::string& Text() const { return text_; }

private:
    std::string path_;
    std::string text_;
    bool loadFailed_ = false;
};

// The settings file's path: $LINDQUEST_INI_DIR/Tessarin.ini when that variable is set, else
// $XDG_CONFIG_HOME/Tessarin.ini, else ~/.config/Tessarin.ini.
std::string DefaultIniPath();

}  // namespace lq
