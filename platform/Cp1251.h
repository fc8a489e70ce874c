#pragma once
// Code page 1251 is the program's text encoding: every text in the core and in the
// database is a std::string of cp1251 bytes. QString appears only at widget edges,
// and these functions are the one place where the two meet.
#include <QString>
#include <string>
#include <string_view>

namespace lq {

// cp1251 bytes -> Unicode. Every byte maps to a character (0x98, undefined in cp1251, maps to U+FFFD).
QString FromCp1251(std::string_view bytes);

// Unicode -> cp1251 bytes; a character cp1251 cannot hold becomes `replacement`.
std::string ToCp1251(const QString& text, char replacement = '?');

// Lower-casing by the code page (A-Z, the Cyrillic capitals, and the other cp1251 letter pairs).
unsigned char Cp1251ToLower(unsigned char c);
std::string Cp1251Lower(std::string_view text);

// True when `bytes` holds a byte of 0x80 or above (anything but plain ASCII).
bool HasNonAscii(std::string_view bytes);

// True when `bytes` is well-formed UTF-8 (no overlongs, no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// A name (of a file or a module) in the program's encoding. A name that is valid UTF-8, holds a
// non-ASCII character and has only characters cp1251 holds is converted: the file system's and
// the command line's names are UTF-8, and so are the module names earlier versions stored. Any
// other name is cp1251 already and comes back as it is (a cp1251 Cyrillic word is never valid
// UTF-8: its letters are all bytes 0xC0 and up).
std::string NameToCp1251(std::string_view name);

// A name in either encoding as a widget shows it: a valid UTF-8 name with a non-ASCII character
// as UTF-8 (an earlier version's stored name, a file's name, or one cp1251 cannot hold), any
// other as cp1251.
QString FromName(std::string_view name);

// cp1251 bytes -> UTF-8 bytes (the file system's spelling of a cp1251 name).
std::string Cp1251ToUtf8(std::string_view bytes);

// The contents of a text file as cp1251: a file that is valid UTF-8 and holds at least one
// non-ASCII character (or starts with a UTF-8 byte order mark) is converted; anything else is
// taken as cp1251 already. A leading byte order mark is dropped either way.
std::string TextFileToCp1251(std::string_view fileBytes);

}  // namespace lq
