#include <gtest/gtest.h>

#include <map>

#include "core/SentenceBoard.h"
#include "core/SqlText.h"
#include "core/Words.h"
#include "pages/EditWords.h"
#include "tests/pages/PagesTestSupport.h"
#include "tests/support/SqlValues.h"

namespace lq {
namespace {

SentenceBoard Board(const std::vector<std::string>& words) {
    SentenceBoard b;
    for (const std::string& w : words) {
        WordTile t;
        t.Text = w;
        b.WordTiles.push_back(t);
    }
    return b;
}

TEST(EditWordList, SortedUniqueWordsWithTheirStatistics) {
    // "Аист" and "Ёж" in cp1251.
    const std::string aist = "\xC0\xE8\xF1\xF2", yozh = "\xA8\xE6";
    const SentenceBoard board = Board({"The", "cat,", "the", "...", "Don't", aist, yozh});
    std::map<std::string, std::pair<int, int>> stats = {{"cat", {1, 12}}, {"don*t", {0, 3}}, {"the", {2, 40}}};
    const auto lookup = [&](const std::string& w, int& istate, int& icount) {
        const auto it = stats.find(w);
        if (it == stats.end()) return false;
        istate = it->second.first;
        icount = it->second.second;
        return true;
    };
    const auto lines = BuildWordList(board, [](std::string_view w) { return NormalizeWord(w); }, lookup);
    std::vector<std::string> got;
    for (const auto& e : lines) got.push_back(e.Line);
    const std::vector<std::string> expected = {
        "***\t12\t  \tcat",
        "   \t3\t  \tdon*t",
        "   \t40\t  \tthe",
        "   \t---\t \t\xB8\xE6",          // "ёж" sorts before "аист" by cp1251 bytes
        "   \t---\t \t\xE0\xE8\xF1\xF2",
    };
    EXPECT_EQ(got, expected);
    EXPECT_EQ(lines[1].Word, "don*t");
}

TEST(EditWordPairs, ReadingOrderWithPlaceholdersForMissingPairs) {
    const SentenceBoard board = Board({"last", "middle", "first"});
    EXPECT_EQ(WordPairLines(board, ParseWordPairNumbers("1 5 0 3 ")),
              (std::vector<std::string>{"-\t-\tfirst", "0\t3\tmiddle", "1\t5\tlast"}));
    EXPECT_EQ(WordPairLines(board, ParseWordPairNumbers("0")),
              (std::vector<std::string>{"-\t-\tfirst", "-\t-\tmiddle", "-\t-\tlast"}));

    std::string many;
    for (int i = 0; i < 150; ++i) many += "1 2 ";
    EXPECT_EQ(ParseWordPairNumbers(many).size(), 100u);  // at most 100 numbers are held
    const SentenceBoard big = Board(std::vector<std::string>(70, "w"));
    const auto lines = WordPairLines(big, ParseWordPairNumbers(many));
    ASSERT_EQ(lines.size(), 70u);
    EXPECT_EQ(lines.front(), "-\t-\tw");  // tile 69 has no pair
    EXPECT_EQ(lines.back(), "1\t2\tw");
}

TEST(EditReplace, TextsOfAnyLengthAreStoredWhole) {
    test::PagesFixture f;
    const int id = f.InsertItem("Old one.");
    const int other = f.InsertItem("Untouched.");
    const std::string longText(3000, '\'');
    ASSERT_TRUE(ReplaceItemTexts(f.db, id, false, JoinMemoLines("It's\nbefore"), longText, longText + "x").ok());
    EXPECT_EQ(f.ItemText(id, "strbef"), "It'sbefore");
    EXPECT_EQ(f.ItemText(id, "stract"), longText);
    EXPECT_EQ(f.ItemText(id, "straft"), longText + "x");
    EXPECT_EQ(f.ItemText(id, "isigns"), "2");
    EXPECT_EQ(f.ItemText(id, "isntbf"), "-1");
    EXPECT_EQ(f.ItemText(id, "isntaf"), "-1");
    std::string raw;
    f.db.Query(Sql("SELECT strbef FROM items2 WHERE ididnt=%i;", id), [&](int, char** v, char**) { raw = v[0]; });
    EXPECT_EQ(raw, "It#*#sbefore");
    EXPECT_EQ(f.ItemText(other, "stract"), "Untouched.");

    ASSERT_TRUE(ReplaceItemTexts(f.db, id, true, "a", "b", "c").ok());
    EXPECT_EQ(f.ItemText(id, "isigns"), "1");
}

TEST(EditToggleMark, StatesAndRowsTouched) {
    test::PagesFixture f;
    f.Exec("INSERT INTO wrdstt (icount, ianswr, istate, twordd) values(3, 0, 1, 'one');");
    f.Exec("INSERT INTO wrdstt (icount, ianswr, istate, twordd) values(3, 0, 0, 'zero');");
    f.Exec("INSERT INTO wrdstt (icount, ianswr, istate, twordd) values(3, 0, 2, 'two');");
    f.Exec("INSERT INTO wrdstt (icount, ianswr, istate, twordd) values(3, 0, 7, 'other');");
    auto state = [&](const char* w) {
        int s = -99;
        f.db.Query(Sql("SELECT istate FROM wrdstt WHERE twordd='%q';", w), [&](int, char** v, char**) { s = std::atoi(v[0]); });
        return s;
    };
    const std::pair<const char*, int> cases[] = {{"one", 0}, {"zero", 1}, {"two", 1}, {"one", 1}};
    for (const auto& [word, after] : cases) {
        // A row store still holding another word's row must not make that word change.
        f.db.Query("SELECT * FROM wrdstt WHERE twordd='other';", f.row);
        EXPECT_EQ(test::ValueOrNothing(ToggleWordMark(f.db, f.row, word)), std::optional<bool>(true)) << word;
        EXPECT_EQ(state(word), after) << word;
        EXPECT_EQ(state("other"), 7);
    }
    f.db.Query("SELECT * FROM wrdstt WHERE twordd='other';", f.row);
    EXPECT_EQ(test::ValueOrNothing(ToggleWordMark(f.db, f.row, "missing")), std::optional<bool>(false));
    EXPECT_EQ(state("other"), 7);
    EXPECT_EQ(test::ValueOrNothing(ToggleWordMark(f.db, f.row, "it's")), std::optional<bool>(false));  // quoted safely, no row
    // A failed read is told, not taken for a word without a row.
    ASSERT_TRUE(f.db.Exec("DROP TABLE wrdstt;").ok());
    const SqlValue<bool> failed = ToggleWordMark(f.db, f.row, "one");
    EXPECT_EQ(failed.error.code, SQLITE_ERROR);
    EXPECT_FALSE(failed.value);
}

}  // namespace
}  // namespace lq
