#include "main/core/ScoreTotals.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "main/core/Database.h"
#include "tests/support/TempDir.h"

namespace lq {
namespace {

class ScoreTotalsTest : public ::testing::Test {
protected:
    ScoreTotalsTest() { EXPECT_TRUE(db_.Open(dir_.File("QV_01.db"))); }

    void Add(int igansw, int irng2) {
        ASSERT_TRUE(db_.Exec(Sql("INSERT INTO items2 (isound, igansw, irng_2, iplace, dtansn) values(1, %i, %i, 0, "
                                 "'2024-01-01 00:00:00');",
                                 igansw, irng2))
                        .ok());
    }

    // What the statements count now, as totals.
    ItemTotals Counted() {
        ItemTotals t;
        db_.Query("SELECT igansw, count(*) FROM items2 WHERE igansw IS NOT NULL GROUP BY igansw;",
                  [&t](int, char** v, char**) { t.gansw[std::stoll(v[0])] = std::stoll(v[1]); });
        db_.Query("SELECT count(*), count(irng_2), total(irng_2) FROM items2;", [&t](int, char** v, char**) {
            t.rows = std::stoll(v[0]);
            t.irng2Values = std::stoll(v[1]);
            t.irng2Sum = static_cast<long long>(std::stod(v[2]));
        });
        return t;
    }

    void ExpectCurrent(const char* where) {
        ItemTotals t;
        ASSERT_TRUE(db_.Totals()->Read(t)) << where;
        const ItemTotals c = Counted();
        EXPECT_EQ(t.rows, c.rows) << where;
        EXPECT_EQ(t.gansw, c.gansw) << where;
        EXPECT_EQ(t.irng2Sum, c.irng2Sum) << where;
        EXPECT_EQ(t.irng2Values, c.irng2Values) << where;
    }

    test::TempDir dir_;
    Database db_;
};

TEST_F(ScoreTotalsTest, TheLibraryHasThePreUpdateHook) { EXPECT_TRUE(ScoreTotals::Available()); }

TEST_F(ScoreTotalsTest, FollowEveryKindOfWrite) {
    ExpectCurrent("empty");
    for (int i = 0; i < 20; ++i) Add(i % 6, i * 10);
    ExpectCurrent("inserted");
    struct Write {
        const char* what;
        const char* sql;
    };
    const Write writes[] = {
        {"update", "UPDATE items2 SET igansw=igansw+1, irng_2=900 WHERE ididnt%3=0;"},
        {"NULLs", "UPDATE items2 SET igansw=NULL, irng_2=NULL WHERE ididnt IN (2, 4);"},
        {"new ids", "UPDATE items2 SET ididnt=ididnt+100 WHERE ididnt>15;"},
        {"replace", "INSERT OR REPLACE INTO items2 (ididnt, igansw, irng_2) values(5, 9, 77);"},
        {"delete", "DELETE FROM items2 WHERE igansw=3;"},
        {"text that is a number", "UPDATE items2 SET igansw='4' WHERE ididnt=1;"},
        {"delete all", "DELETE FROM items2;"},
    };
    for (const Write& w : writes) {
        ASSERT_TRUE(db_.Exec(w.sql).ok()) << w.sql;
        ExpectCurrent(w.what);
        if (std::string(w.what) == "replace") Add(2, 3);
    }
}

TEST_F(ScoreTotalsTest, ValuesThatAreNotSmallIntegersLeaveItToTheStatements) {
    Add(1, 10);
    Add(2, 20);
    ExpectCurrent("integers");
    const char* odd[] = {"UPDATE items2 SET igansw='many' WHERE ididnt=1;", "UPDATE items2 SET irng_2=2.5 WHERE ididnt=1;",
                         "UPDATE items2 SET irng_2=5000000000 WHERE ididnt=1;",
                         "UPDATE items2 SET igansw=x'01' WHERE ididnt=1;"};
    for (const char* sql : odd) {
        ASSERT_TRUE(db_.Exec(sql).ok());
        ItemTotals t;
        EXPECT_FALSE(db_.Totals()->Read(t)) << sql;
        ASSERT_TRUE(db_.Exec("UPDATE items2 SET igansw=1, irng_2=10 WHERE ididnt=1;").ok());
        ExpectCurrent(sql);
    }
}

TEST_F(ScoreTotalsTest, RollbackAndAnotherConnectionAreNoticed) {
    Add(1, 10);
    ExpectCurrent("start");
    ASSERT_TRUE(db_.Exec("BEGIN; UPDATE items2 SET igansw=7; ROLLBACK;").ok());
    ExpectCurrent("rolled back");
    Database other;
    ASSERT_TRUE(other.Open(db_.Path()));
    ASSERT_TRUE(other.Exec("INSERT INTO items2 (igansw, irng_2) values(3, 30);").ok());
    ExpectCurrent("another connection");
    db_.Totals()->SetEnabled(false);
    ItemTotals t;
    EXPECT_FALSE(db_.Totals()->Read(t));
    db_.Totals()->SetEnabled(true);
    ExpectCurrent("on again");
}

// The sound thread writes the word statistics on the same connection while the user-interface
// thread reads the totals and writes sentences.
TEST_F(ScoreTotalsTest, TwoThreadsOnOneConnection) {
    for (int i = 0; i < 50; ++i) Add(i % 5, i);
    ASSERT_TRUE(db_.Exec("INSERT INTO wrdstt (icount, ianswr, istate, twordd) values(1, 0, 0, 'w');").ok());
    std::atomic<bool> done{false};
    std::thread sound([&] {
        for (int i = 0; i < 300 && !done; ++i) db_.Exec("UPDATE wrdstt SET ianswr=ianswr+1 WHERE twordd='w';");
    });
    for (int i = 0; i < 200; ++i) {
        ItemTotals t;
        EXPECT_TRUE(db_.Totals()->Read(t));
        db_.Exec(Sql("UPDATE items2 SET igansw=%i, irng_2=%i WHERE ididnt=%i;", i % 7, i, 1 + i % 50));
    }
    done = true;
    sound.join();
    ExpectCurrent("after both threads");
}

}  // namespace
}  // namespace lq
