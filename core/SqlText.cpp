#include "core/SqlText.h"

#include <sqlite3.h>

#include <cstdarg>

namespace lq {

std::string Sql(const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    char* text = sqlite3_vmprintf(format, ap);
    va_end(ap);
    if (!text) return std::string();
    std::string out(text);
    sqlite3_free(text);
    return out;
}

namespace {

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        if (text.compare(i, from.size(), from) == 0) {
            out.append(to);
            i += from.size();
        } else {
            out.push_back(text[i++]);
        }
    }
    return out;
}

}  // namespace

std::string EscapeApostrophes(std::string_view text) { return ReplaceAll(text, "'", "#*#"); }
std::string UnescapeApostrophes(std::string_view text) { return ReplaceAll(text, "#*#", "'"); }

}  // namespace lq
