#pragma once
// Statement formatting (for the PRAGMAs, whose values cannot be bound) and the stored-text escapes.
#include <string>
#include <string_view>

namespace lq {

// sqlite3_mprintf into a std::string ("%q" doubles apostrophes, "%Q" adds quotes or NULL, "%lld" ...).
std::string Sql(const char* format, ...);

// Stored-text escapes: an apostrophe inside sentence texts is stored as "#*#".
std::string EscapeApostrophes(std::string_view text);    // "'" -> "#*#"
std::string UnescapeApostrophes(std::string_view text);  // "#*#" -> "'"

}  // namespace lq
