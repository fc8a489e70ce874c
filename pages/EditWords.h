#pragma once
// What the Edit page shows and stores for the current sentence: the debug list of the tiles'
// flag and weight pairs, the sentence's words with their statistics, the Replace statement and
// the toggling of a word's mark.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lq {

class Database;
struct CurrentRow;
struct SentenceBoard;
struct SqlResult;
template <class T>
struct SqlValue;

// The words of the sentence, lower-cased and normalised, sorted by their cp1251 bytes, without
// duplicates or empty words; one line per word:
//   "***\t<icount>\t  \t<word>"  marked (istate 1)
//   "   \t<icount>\t  \t<word>"  with a statistics row otherwise
//   "   \t---\t \t<word>"        without a statistics row
struct WordListEntry {
    std::string Line;  // cp1251
    std::string Word;  // cp1251, the text after the line's last tab
};
using WordNormalizer = std::function<std::string(std::string_view)>;
// Looks a normalised, lower-cased word up in wrdstt: true with its istate and icount when found.
using WordStatLookup = std::function<bool(const std::string& word, int& istate, int& icount)>;
std::vector<WordListEntry> BuildWordList(const SentenceBoard& board, const WordNormalizer& normalize,
                                         const WordStatLookup& lookup);

// The stored per-word list ("%i %i " pairs) split at single blanks into at most 100 integers.
std::vector<int> ParseWordPairNumbers(std::string_view strind);

// The debug list: "%i\t%i\t<text>" (flag, weight) per tile in reading order (the last tile first);
// "-\t-\t<text>" for a tile the stored list has no pair for.
std::vector<std::string> WordPairLines(const SentenceBoard& board, const std::vector<int>& numbers);

// A memo's text with its lines joined with nothing between them.
std::string JoinMemoLines(std::string_view text);

// The Replace button: isigns (1 or 2), the three texts (apostrophes stored as "#*#", any length)
// and isntbf = isntaf = -1 for sentence `itemId`.
SqlResult ReplaceItemTexts(Database& db, int itemId, bool typingEnabled, std::string_view before,
                           std::string_view sentence, std::string_view after);

// The double-click on a word: a word with a statistics row gets istate 0 when it was 1, else 1.
// Only the row of `word` itself is touched; a word without a row changes nothing (false). When
// a statement fails the result carries the engine's failure.
SqlValue<bool> ToggleWordMark(Database& db, CurrentRow& row, const std::string& word);

}  // namespace lq
