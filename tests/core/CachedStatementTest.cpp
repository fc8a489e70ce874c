// Statements run through the connection's statement cache with bound values give the same rows
// as the same statements with the values formatted into their text.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/Database.h"
#include "core/SqlText.h"
#include "tests/core/CoreTestDb.h"

namespace lq {
namespace {

using test::CoreTestDb;
using test::ItemSpec;

using Rows = std::vector<std::vector<std::pair<std::string, std::optional<std::string>>>>;

RowCallback Collect(Rows& rows) {
    return [&rows](int n, char** values, char** names) {
        rows.emplace_back();
        for (int i = 0; i < n; ++i)
            rows.back().emplace_back(names[i], values[i] ? std::optional<std::string>(values[i]) : std::nullopt);
    };
}

class CachedStatementTest : public ::testing::Test {
protected:
    CachedStatementTest() {
        const int a = t.AddModule(true, "a.mp3");
        const int b = t.AddModule(false, "b.mp3");
        for (int i = 0; i < 40; ++i) {
            ItemSpec s;
            s.isound = i % 3 ? a : b;
            s.igansw = i % 7;
            s.irng_2 = 10 * (i % 5);
            s.iplace = (i % 4) * 100 - 150;  // repeated and negative places
            s.dtansn = DateText(test::At(2024, 3, 1 + i % 20, 12, 0, 0));
            s.stract = i % 2 ? "it's a word" : "plain";
            t.AddItem(s);
        }
        t.Exec("UPDATE items2 set strtrn=NULL WHERE ididnt % 5 = 0;");
        for (int i = 0; i < 30; ++i)
            t.Exec(Sql("INSERT INTO answcn (glrang, isentn, dtdate, glansn) values('%q', 40, '%q', '1.00000');",
                       FormatScore(i).c_str(), DateText(test::At(2024, 3, 1, 0, 0, 0) + i * 0.7).c_str()));
    }
    static std::string FormatScore(int i) { return std::to_string(10 + i) + ".50000"; }

    Rows Formatted(const std::string& sql) {
        Rows rows;
        EXPECT_TRUE(t.db.Query(sql, Collect(rows)).ok()) << sql;
        return rows;
    }
    Rows Cached(const char* sql, std::initializer_list<SqlArg> args) {
        Rows rows;
        EXPECT_TRUE(t.db.QueryCached(sql, args, Collect(rows)).ok()) << sql;
        return rows;
    }

    CoreTestDb t;
};

TEST_F(CachedStatementTest, BoundValuesGiveTheRowsOfTheFormattedText) {
    const std::string due = DateText(test::At(2024, 3, 9, 12, 0, 0));
    for (int v : {-1, 0, 3, 6, 7}) {
        SCOPED_TRACE(v);
        EXPECT_EQ(Cached("SELECT count(*) FROM items2 WHERE igansw=?;", {v}),
                  Formatted(Sql("SELECT count(*) FROM items2 WHERE igansw=%i;", v)));
        EXPECT_EQ(Cached("SELECT * FROM items2 WHERE igansw<=? ORDER BY iplace DESC LIMIT 1;", {v}),
                  Formatted(Sql("SELECT * FROM items2 WHERE igansw<=%i ORDER BY iplace DESC LIMIT 1;", v)));
        EXPECT_EQ(Cached("SELECT * FROM items2 WHERE isound=? AND igansw>? AND ididnt<? ORDER BY ididnt ASC LIMIT 1;",
                         {1, v, 30}),
                  Formatted(Sql("SELECT * FROM items2 WHERE isound=%i AND igansw>%i AND ididnt<%i ORDER BY ididnt "
                                "ASC LIMIT 1;",
                                1, v, 30)));
        EXPECT_EQ(Cached("SELECT * FROM items2 WHERE dtansn < ? AND ididnt != ?\t\t\t\t\t"
                         "AND isound IN (SELECT ididnt FROM sounds WHERE isigns=1) ORDER BY iplace ASC, ididnt ASC "
                         "LIMIT 0,1;",
                         {due, v}),
                  Formatted(Sql("SELECT * FROM items2 WHERE dtansn < '%q' AND ididnt != %i\t\t\t\t\t"
                                "AND isound IN (SELECT ididnt FROM sounds WHERE isigns=1) ORDER BY iplace ASC, "
                                "ididnt ASC LIMIT 0,1;",
                                due.c_str(), v)));
    }
    for (int position : {0, 5, 39, 40}) {
        SCOPED_TRACE(position);
        const Rows rows = Cached("SELECT * FROM items2 ORDER BY iplace ASC LIMIT ?,1;", {position});
        const Rows expected = Formatted(Sql("SELECT * FROM items2 ORDER BY iplace ASC LIMIT %i,1;", position));
        ASSERT_EQ(rows.size(), expected.size());
        // Rows of equal place may come in either order; the place is what the step takes.
        if (!rows.empty()) {
            EXPECT_EQ(rows[0][11], expected[0][11]);
        }
    }
    const std::string lo = DateText(test::At(2024, 3, 3, 0, 0, 0));
    const std::string hi = DateText(test::At(2024, 3, 10, 0, 0, 0));
    EXPECT_EQ(Cached("SELECT count(*) FROM answcn WHERE dtdate>? AND dtdate<=?;", {lo, hi}),
              Formatted(Sql("SELECT count(*) FROM answcn WHERE dtdate>'%q' AND dtdate<='%q';", lo.c_str(),
                            hi.c_str())));
    EXPECT_EQ(Cached("SELECT glrang FROM answcn ORDER BY dtdate DESC LIMIT 0, 100;", {}),
              Formatted("SELECT glrang FROM answcn ORDER BY dtdate DESC LIMIT 0, 100;"));
    EXPECT_EQ(Cached("SELECT sum(irng_2) FROM items2;", {}), Formatted("SELECT sum(irng_2) FROM items2;"));
}

TEST_F(CachedStatementTest, BoundTextIsStoredAsTheQuotedText) {
    const std::string text = "it's \"quoted\" -- ; DROP TABLE items2;";
    ASSERT_TRUE(t.db.ExecCached("UPDATE items2 set strind=? WHERE ididnt=?;", {text, 1}).ok());
    t.Exec(Sql("UPDATE items2 set strind='%q' WHERE ididnt=%i;", text.c_str(), 2));
    EXPECT_EQ(Formatted("SELECT strind, typeof(strind) FROM items2 WHERE ididnt=1;"),
              Formatted("SELECT strind, typeof(strind) FROM items2 WHERE ididnt=2;"));
    // A date bound into a datetime column keeps the type the literal would give it.
    ASSERT_TRUE(t.db.ExecCached("INSERT INTO answcn (glrang, isentn, dtdate, glansn) values(?, ?, ?, ?);",
                                {std::string("1.50000"), 7, std::string("2024-03-01 10:00:00"),
                                 std::string("0.00000")})
                    .ok());
    t.Exec("INSERT INTO answcn (glrang, isentn, dtdate, glansn) values('1.50000', 7, '2024-03-01 10:00:00', "
           "'0.00000');");
    const Rows rows = Formatted(
        "SELECT glrang, typeof(glrang), isentn, typeof(isentn), dtdate, typeof(dtdate), glansn FROM answcn "
        "ORDER BY ididnt DESC LIMIT 2;");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], rows[1]);
}

TEST_F(CachedStatementTest, FailuresReportTheirMessageAndLeaveTheCacheUsable) {
    SqlResult r = t.db.QueryCached("SELECT * FROM no_such_table WHERE x=?;", {1}, t.row);
    EXPECT_FALSE(r.ok());
    EXPECT_NE(r.message.find("no_such_table"), std::string::npos);
    // A failing step (integer primary key taken) resets the statement for the next run.
    r = t.db.ExecCached("INSERT INTO sounds (ididnt, isigns, icodes, sfname) values(?, 1, 0, 'x');", {1});
    EXPECT_EQ(r.code, SQLITE_CONSTRAINT);
    EXPECT_TRUE(t.db.ExecCached("INSERT INTO sounds (ididnt, isigns, icodes, sfname) values(?, 1, 0, 'x');", {99}).ok());
    EXPECT_EQ(t.Count("SELECT count(*) FROM sounds WHERE ididnt=99;"), 1);
    // After a reopen the statements are prepared again on the new connection.
    const std::string path = t.db.Path();
    t.db.Close();
    EXPECT_FALSE(t.db.QueryCached("SELECT count(*) FROM items2 WHERE igansw=?;", {1}, t.row).ok());
    ASSERT_TRUE(t.db.Open(path).ok());
    t.row.CountResult = -1;
    EXPECT_TRUE(t.db.QueryCached("SELECT count(*) FROM items2 WHERE igansw=?;", {1}, t.row).ok());
    EXPECT_EQ(t.row.CountResult, t.Count("SELECT count(*) FROM items2 WHERE igansw=1;"));
}

}  // namespace
}  // namespace lq
