#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "core/CurrentRow.h"
#include "core/SqlText.h"
#include "pages/Comments.h"
#include "tests/pages/PagesTestSupport.h"

namespace lq {
namespace {

TEST(CommentCodec, StoredTextIsShownWithLineBreaks) {
    const std::pair<const char*, const char*> cases[] = {
        {"one||two", "one\ntwo"},
        {"", ""},
        {"|||", "\n|"},
        {"a|b", "a|b"},
        {"||||", "\n\n"},
        {"it's", "it's"},
    };
    for (const auto& [stored, shown] : cases) EXPECT_EQ(CommentToDisplay(stored), shown) << stored;
}

TEST(CommentCodec, EditorTextIsStoredWithBarsForBreaks) {
    const std::pair<const char*, const char*> cases[] = {
        {"one\ntwo", "one||two"},
        {"a||b", "a!!b"},      // bars typed within a line are not read back as a break
        {"x\n|y", "x||!y"},    // a bar typed after a break keeps the break
        {"x|\ny", "x!||y"},    // ... and before it
        {"a|b", "a|b"},        // a lone bar stays
        {"one\r\ntwo\rthree", "one||two||three"},
        {"", ""},
    };
    for (const auto& [shown, stored] : cases) EXPECT_EQ(CommentToStored(shown), stored) << shown;
}

TEST(CommentCodec, EveryBreakSurvivesARoundTrip) {
    for (const char* typed : {"x\n|y", "x|\ny", "|\n|", "\n\n|\n", "a|b\nc", "one\ntwo\n"}) {
        const std::string back = CommentToDisplay(CommentToStored(typed));
        EXPECT_EQ(std::count(back.begin(), back.end(), '\n'), std::count(typed, typed + strlen(typed), '\n')) << typed;
        // Only bars touching a bar or a break change (to '!').
        ASSERT_EQ(back.size(), strlen(typed)) << typed;
        for (size_t i = 0; i < back.size(); ++i)
            if (typed[i] != '|') {
                EXPECT_EQ(back[i], typed[i]) << typed;
            }
    }
    for (const char* plain : {"one\ntwo", "a|b c|d", "it's ok", ""})
        EXPECT_EQ(CommentToDisplay(CommentToStored(plain)), plain);
}

TEST(CommentStorage, LongTextsWithApostrophesAreStoredWhole) {
    test::PagesFixture f;
    const int id = f.InsertItem("A sentence.");
    std::string text;
    while (text.size() < 5000) text += "it's a line\n";
    text.resize(5000);
    ASSERT_GE(std::count(text.begin(), text.end(), '\''), 400);
    text += std::string(1000, '\'');
    ASSERT_TRUE(SaveComment(f.db, id, text).ok());

    std::string raw;
    f.db.Query(Sql("SELECT strtrn FROM items2 WHERE ididnt=%i;", id), [&](int, char** v, char**) { raw = v[0]; });
    EXPECT_EQ(raw.find('\''), std::string::npos);  // stored as "#*#"
    EXPECT_EQ(raw.find('\n'), std::string::npos);  // stored as "||"

    CurrentRow row;
    f.db.Query(Sql("SELECT * FROM items2 WHERE ididnt=%i;", id), row);
    EXPECT_EQ(CommentToDisplay(row.strtrn), text);
}

TEST(CommentStorage, OtherSentencesAreUntouched) {
    test::PagesFixture f;
    const int a = f.InsertItem("A.", 1, 0, {}, "first");
    const int b = f.InsertItem("B.", 1, 0, {}, "second");
    ASSERT_TRUE(SaveComment(f.db, a, "changed").ok());
    EXPECT_EQ(f.ItemText(a, "strtrn"), "changed");
    EXPECT_EQ(f.ItemText(b, "strtrn"), "second");
    EXPECT_TRUE(SaveComment(f.db, 9999, "no sentence").ok());  // matches no row
}

}  // namespace
}  // namespace lq
