#include "pages/Comments.h"

#include "core/Database.h"
#include "core/SqlText.h"

namespace lq {
namespace {

bool IsBreak(char c) { return c == '\n' || c == '\r'; }

}  // namespace

std::string CommentToDisplay(std::string_view stored) {
    std::string out;
    out.reserve(stored.size());
    for (size_t i = 0; i < stored.size(); ++i) {
        if (stored[i] == '|' && i + 1 < stored.size() && stored[i + 1] == '|') {
            out.push_back('\n');
            ++i;
        } else {
            out.push_back(stored[i]);
        }
    }
    return out;
}

std::string CommentToStored(std::string_view shown) {
    std::string out;
    out.reserve(shown.size() + shown.size() / 8);
    for (size_t i = 0; i < shown.size(); ++i) {
        const char c = shown[i];
        if (c == '\r' && i + 1 < shown.size() && shown[i + 1] == '\n') continue;  // "\r\n" is one break
        if (IsBreak(c)) {
            out += "||";
        } else if (c == '|') {
            const bool touches = (i > 0 && (shown[i - 1] == '|' || IsBreak(shown[i - 1]))) ||
                                 (i + 1 < shown.size() && (shown[i + 1] == '|' || IsBreak(shown[i + 1])));
            out.push_back(touches ? '!' : '|');
        } else {
            out.push_back(c);
        }
    }
    return out;
}

SqlResult SaveComment(Database& db, int itemId, std::string_view shown) {
    const std::string stored = EscapeApostrophes(CommentToStored(shown));
    return db.ExecCached("UPDATE items2 set strtrn=? WHERE ididnt=?", {stored, itemId});
}

}  // namespace lq
