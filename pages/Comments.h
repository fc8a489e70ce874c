#pragma once
// A sentence's comment or translation (items2.strtrn): stored with "||" for each line break and
// "#*#" for each apostrophe; the comments window shows it with real line breaks ('\n').
//
// Storing keeps every line break where it was typed: each break becomes "||", and a '|' typed
// next to another '|' or to a break becomes '!' (so "a||b" typed within a line is stored
// "a!!b"). A lone '|' elsewhere is kept, so showing a stored text gives back exactly what was
// typed for every text without touching bars. A "#*#" typed by the learner reads back as an
// apostrophe: the format cannot tell the two apart.
#include <string>
#include <string_view>

namespace lq {

class Database;
struct SqlResult;

// Stored text (apostrophes already restored) to the editor's text: one left-to-right pass turns
// each "||" into a line break ("|||" gives a break and one bar).
std::string CommentToDisplay(std::string_view stored);

// The editor's text ('\n', "\r\n" or '\r' breaks) to the stored form, "||" for the breaks; the
// apostrophes are left to the statement (EscapeApostrophes).
std::string CommentToStored(std::string_view shown);

// "UPDATE items2 set strtrn=? WHERE ididnt=?" with the editor's text encoded, any length.
SqlResult SaveComment(Database& db, int itemId, std::string_view shown);

}  // namespace lq
