#include "pages/EditWords.h"

#include <algorithm>

#include "core/CurrentRow.h"
#include "core/Database.h"
#include "core/SentenceBoard.h"
#include "core/SqlText.h"
#include "core/Words.h"
#include "platform/CNumbers.h"
#include "platform/Cp1251.h"

namespace lq {

std::vector<WordListEntry> BuildWordList(const SentenceBoard& board, const WordNormalizer& normalize,
                                         const WordStatLookup& lookup) {
    std::vector<std::string> words;
    words.reserve(board.WordTiles.size());
    for (const WordTile& t : board.WordTiles) {
        const std::string lower = Cp1251Lower(t.Text);
        words.push_back(normalize ? normalize(lower) : lower);
    }
    // std::string orders its bytes as unsigned char, which is the cp1251 byte order.
    std::sort(words.begin(), words.end());

    std::vector<WordListEntry> out;
    std::string previous;  // the first word is compared with an empty one, so empties are skipped
    for (const std::string& w : words) {
        if (w == previous) continue;
        previous = w;
        int istate = 0, icount = 0;
        std::string line;
        if (lookup && lookup(w, istate, icount))
            line = (istate == 1 ? "***\t" : "   \t") + std::to_string(icount) + "\t  \t" + w;
        else
            line = "   \t---\t \t" + w;
        out.push_back({std::move(line), w});
    }
    return out;
}

std::vector<int> ParseWordPairNumbers(std::string_view strind) {
    std::vector<int> numbers;
    size_t i = 0;
    while (i < strind.size() && numbers.size() < 100) {
        size_t blank = strind.find(' ', i);
        if (blank == std::string_view::npos) blank = strind.size();
        numbers.push_back(CAtoi(strind.substr(i, blank - i)));
        i = blank + 1;
    }
    return numbers;
}

std::vector<std::string> WordPairLines(const SentenceBoard& board, const std::vector<int>& numbers) {
    std::vector<std::string> lines;
    for (int i = board.WordTileCount() - 1; i >= 0; --i) {
        const size_t flag = 2 * static_cast<size_t>(i);
        const std::string& text = board.WordTiles[static_cast<size_t>(i)].Text;
        if (flag + 1 < numbers.size())
            lines.push_back(std::to_string(numbers[flag]) + "\t" + std::to_string(numbers[flag + 1]) + "\t" + text);
        else
            lines.push_back("-\t-\t" + text);
    }
    return lines;
}

std::string JoinMemoLines(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != '\n' && c != '\r') out.push_back(c);
    return out;
}

SqlResult ReplaceItemTexts(Database& db, int itemId, bool typingEnabled, std::string_view before,
                           std::string_view sentence, std::string_view after) {
    const std::string b = EscapeApostrophes(before), s = EscapeApostrophes(sentence), a = EscapeApostrophes(after);
    return db.ExecCached("UPDATE items2 SET isigns=?,   strbef=?, stract=?, straft=?, isntbf=?,   "
                         "isntaf=?    WHERE ididnt=?;",
                         {typingEnabled ? 1 : 2, b, s, a, -1, -1, itemId});
}

SqlValue<bool> ToggleWordMark(Database& db, CurrentRow& row, const std::string& word) {
    row.ididnt = -1;
    row.istate = 0;
    row.twordd.clear();
    SqlResult r = db.QueryCached("SELECT * FROM wrdstt WHERE twordd=?;", {word}, row);
    if (r.ok() && row.ididnt <= 0) return {false, {}};
    if (r.ok()) r = StoreWordMark(db, row.twordd, ToggledWordMark(row.istate));
    return {r.ok(), r};
}

}  // namespace lq
