#pragma once
// Words: the one normaliser for every word that is counted, compared or typed, the lookup of a
// word's statistics row, and the recount of the statistics over all sentences (table wrdstt).
#include <string>
#include <string_view>

namespace lq {

class Database;
struct CurrentRow;
class Progress;
struct SqlResult;
template <class T>
struct SqlValue;

// Strips punctuation and digits from both ends of a cp1251 word and turns the apostrophes and
// hyphens left inside it into '*' ("don't" -> "don*t", "(see)" -> "see", "123" -> "").
std::string NormalizeWord(std::string_view word);

// lower-case(NormalizeWord(word)) by the code page: the form in which words are stored.
std::string StoredWordForm(std::string_view word);

// True for the twenty words the statistics never count ("the", "i*m", "rd", ...); `word` is in
// its stored form.
bool IsStopWord(std::string_view word);

// Finds `word` (already in its stored form) in wrdstt. On a find, `istate` and `icount` get the
// row's values and the result is true; otherwise both are left alone. Overwrites `row`.
bool LookupWordStat(const Database& db, CurrentRow& row, const std::string& word, int& istate, int& icount);

// The learner's mark of a word after a double click: 0 when it was 1, else 1.
inline int ToggledWordMark(int istate) { return istate == 1 ? 0 : 1; }

// "UPDATE wrdstt SET istate=? WHERE twordd=?;" for a word in its stored form.
SqlResult StoreWordMark(Database& db, const std::string& word, int istate);

// "SELECT count(*) FROM wrdstt;" (0 when it fails).
int CountWordStats(const Database& db, CurrentRow& row);

// Recounts icount for every word of every sentence (stract), drops the words no sentence holds
// any more and compacts the file. The counting runs in one exclusive transaction: when anything
// in it fails (or the progress report throws) the old statistics stay as they were.
// Progress is shown per sentence ("Words statistic", with `itemCount` as the maximum) on
// `progress`, or on AppProgress(). Returns the new number of rows of wrdstt, or the engine's
// failure when the rebuild failed and was rolled back.
SqlValue<int> RebuildWordStatistics(Database& db, int itemCount);
SqlValue<int> RebuildWordStatistics(Database& db, int itemCount, Progress& progress);

}  // namespace lq
