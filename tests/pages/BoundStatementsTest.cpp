#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "core/CurrentRow.h"
#include "core/Words.h"
#include "pages/Comments.h"
#include "pages/EditWords.h"
#include "pages/ItemListRow.h"
#include "pages/Pictures.h"
#include "tests/pages/PagesTestSupport.h"
#include "tests/support/StatementTrace.h"

namespace lq {
namespace {

// Each call runs its statement with the values bound to "?" (prepared once, kept by the
// connection), and the statement with its values in place reads as the formatted text did.
TEST(BoundStatements, ValuesAreBoundNotFormattedIn) {
    test::PagesFixture f;
    const int module = f.InsertSound("m.mp3");
    const int item = f.InsertItem("a b", module, 1, {7});
    f.lessons.MarkWord("don*t", 3);
    f.state.ItemCount = 1;
    f.state.CurrentItemId = item;

    struct Case {
        const char* name;
        std::function<void()> call;
        std::string prepared;
        std::string expanded;
    };
    const std::string id = std::to_string(item), mod = std::to_string(module);
    const Case cases[] = {
        {"LookupWordStat",
         [&] {
             int s = 0, c = 0;
             LookupWordStat(f.db, f.row, "don*t", s, c);
         },
         "SELECT * FROM wrdstt WHERE twordd=?;", "SELECT * FROM wrdstt WHERE twordd='don*t';"},
        {"StoreWordMark", [&] { EXPECT_TRUE(StoreWordMark(f.db, "it's", 2).ok()); },
         "UPDATE wrdstt SET istate=? WHERE twordd=?;", "UPDATE wrdstt SET istate=2 WHERE twordd='it''s';"},
        {"ToggleWordMark", [&] { ToggleWordMark(f.db, f.row, "x'y"); }, "SELECT * FROM wrdstt WHERE twordd=?;",
         "SELECT * FROM wrdstt WHERE twordd='x''y';"},
        {"SaveComment", [&] { EXPECT_TRUE(SaveComment(f.db, item, "one\ntwo").ok()); },
         "UPDATE items2 set strtrn=? WHERE ididnt=?", "UPDATE items2 set strtrn='one||two' WHERE ididnt=" + id},
        {"ReplaceItemTexts", [&] { EXPECT_TRUE(ReplaceItemTexts(f.db, item, false, "b'", "s", "a").ok()); },
         "UPDATE items2 SET isigns=?,   strbef=?, stract=?, straft=?, isntbf=?,   isntaf=?    WHERE ididnt=?;",
         "UPDATE items2 SET isigns=2,   strbef='b#*#', stract='s', straft='a', isntbf=-1,   isntaf=-1    "
         "WHERE ididnt=" + id + ";"},
        {"ReadListRow",
         [&] {
             CurrentRow r;
             ReadListRow(f.db, 0, r);
         },
         "SELECT * FROM items2 ORDER BY iplace ASC LIMIT ?,1;", "SELECT * FROM items2 ORDER BY iplace ASC LIMIT 0,1;"},
        {"LoadItemImages (sentence)",
         [&] {
             SentencePictures p;
             LoadItemImages(f.ctx, p);
         },
         "SELECT * FROM items2 WHERE ididnt=?;", "SELECT * FROM items2 WHERE ididnt=" + id + ";"},
        {"LoadItemImages (module)",
         [&] {
             SentencePictures p;
             LoadItemImages(f.ctx, p);
         },
         "SELECT * FROM sounds WHERE ididnt=?;", "SELECT * FROM sounds WHERE ididnt=" + mod + ";"},
    };
    for (const Case& c : cases) {
        const test::StatementTrace trace(f.db);
        c.call();
        const test::StatementTrace::Statement want{c.prepared, c.expanded};
        bool seen = false;
        for (const auto& s : trace.Statements()) seen = seen || s == want;
        EXPECT_TRUE(seen) << c.name << ": " << c.prepared;
        for (const auto& s : trace.Statements()) EXPECT_NE(s.prepared, c.expanded) << c.name;
    }
}

}  // namespace
}  // namespace lq
