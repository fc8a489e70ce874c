#include "core/LessonCaches.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <cmath>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/CacheSupport.h"
#include "core/Database.h"
#include "core/SqlText.h"
#include "platform/CNumbers.h"
#include "tests/support/TempDir.h"

namespace lq {
namespace {

class LessonCachesTest : public ::testing::Test {
protected:
    LessonCachesTest() { EXPECT_TRUE(db_.Open(dir_.File("QV_01.db")).ok()); }

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
        ASSERT_TRUE(Caches().ReadTotals(t)) << where;
        const ItemTotals c = Counted();
        EXPECT_EQ(t.rows, c.rows) << where;
        EXPECT_EQ(t.gansw, c.gansw) << where;
        EXPECT_EQ(t.irng2Sum, c.irng2Sum) << where;
        EXPECT_EQ(t.irng2Values, c.irng2Values) << where;
    }

    LessonCaches& Caches() {
        LessonCaches* caches = LessonCaches::Of(db_);
        if (!caches) {
            ADD_FAILURE() << "no caches";
            std::abort();
        }
        return *caches;
    }

    test::TempDir dir_;
    Database db_;
};

TEST_F(LessonCachesTest, TheLibraryHasThePreUpdateHook) { EXPECT_TRUE(Database::RowHooks()); }

TEST_F(LessonCachesTest, FollowEveryKindOfWrite) {
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

TEST_F(LessonCachesTest, ValuesThatAreNotSmallIntegersLeaveItToTheStatements) {
    Add(1, 10);
    Add(2, 20);
    ExpectCurrent("integers");
    const char* odd[] = {"UPDATE items2 SET igansw='many' WHERE ididnt=1;", "UPDATE items2 SET irng_2=2.5 WHERE ididnt=1;",
                         "UPDATE items2 SET irng_2=5000000000 WHERE ididnt=1;",
                         "UPDATE items2 SET igansw=x'01' WHERE ididnt=1;"};
    for (const char* sql : odd) {
        ASSERT_TRUE(db_.Exec(sql).ok());
        ItemTotals t;
        EXPECT_FALSE(Caches().ReadTotals(t)) << sql;
        ASSERT_TRUE(db_.Exec("UPDATE items2 SET igansw=1, irng_2=10 WHERE ididnt=1;").ok());
        ExpectCurrent(sql);
    }
}

TEST_F(LessonCachesTest, RollbackAndAnotherConnectionAreNoticed) {
    Add(1, 10);
    ExpectCurrent("start");
    ASSERT_TRUE(db_.Exec("BEGIN; UPDATE items2 SET igansw=7; ROLLBACK;").ok());
    ExpectCurrent("rolled back");
    Database other;
    ASSERT_TRUE(other.Open(db_.Path()).ok());
    ASSERT_TRUE(other.Exec("INSERT INTO items2 (igansw, irng_2) values(3, 30);").ok());
    ExpectCurrent("another connection");
    LessonCaches::SetEnabled(db_, false);
    EXPECT_EQ(LessonCaches::Of(db_), nullptr) << "off";
    LessonCaches::SetEnabled(db_, true);
    ExpectCurrent("on again");
}

// The first due sentence of the selected modules from the kept due times against the statement.
TEST_F(LessonCachesTest, FirstDueFollowsWritesOfModulesPlacesAndDueTimes) {
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(db_.Exec(Sql("INSERT INTO items2 (isound, igansw, irng_2, iplace, dtansn) values(%i, 1, 10, %i, "
                                 "'2024-01-%02d 12:00:00');",
                                 1 + i % 3, (i * 7) % 13, 1 + i % 20))
                        .ok());
    auto expectSame = [this](const std::string& where) {
        for (int day = 1; day <= 22; day += 3) {
            const std::string now = Sql("2024-01-%02d 12:00:00", day);
            for (long long exclude : {-1LL, 1LL, 5LL}) {
                long long expected = -1;
                db_.Query(Sql("SELECT ididnt FROM items2 WHERE dtansn < '%q' AND ididnt != %lld AND isound IN (1, 3) "
                              "ORDER BY iplace ASC, ididnt ASC LIMIT 1;",
                              now.c_str(), exclude),
                          [&expected](int, char** v, char**) { expected = std::stoll(v[0]); });
                long long id = -2;
                ASSERT_TRUE(Caches().FirstDue(now, exclude, {1, 3}, id)) << where;
                EXPECT_EQ(id, expected) << where << " now " << now << " exclude " << exclude;
            }
        }
    };
    expectSame("inserted");
    const char* writes[] = {
        "UPDATE items2 SET iplace=-5 WHERE ididnt=7;",
        "UPDATE items2 SET isound=2 WHERE ididnt IN (1, 4);",
        "UPDATE items2 SET dtansn='2024-01-02 00:00:00', iplace=3 WHERE ididnt%5=0;",
        "UPDATE items2 SET dtansn=45000 WHERE ididnt=9;",
        "UPDATE items2 SET dtansn='soon', isound='1' WHERE ididnt=11;",
        "UPDATE items2 SET isound='module' WHERE ididnt=13;",
        "DELETE FROM items2 WHERE ididnt IN (7, 9);",
        "BEGIN; UPDATE items2 SET iplace=-99; ROLLBACK;",
    };
    for (const char* sql : writes) {
        ASSERT_TRUE(db_.Exec(sql).ok()) << sql;
        expectSame(sql);
    }
    long long id = 0;
    ASSERT_TRUE(db_.Exec("UPDATE items2 SET iplace='front' WHERE ididnt=3;").ok());
    EXPECT_FALSE(Caches().FirstDue("2024-01-22 12:00:00", -1, {1, 3}, id)) << "a place not an integer";
    Database other;
    ASSERT_TRUE(other.Open(db_.Path()).ok());
    ASSERT_TRUE(other.Exec("UPDATE items2 SET iplace=2 WHERE ididnt=3;").ok());
    expectSame("another connection");
}

// A head of many rows that are not due yet: the due rows behind it are found, whatever the
// exclusion and the due time's type.
TEST_F(LessonCachesTest, FirstDueBehindALongHeadOfRowsNotDueYet) {
    ASSERT_TRUE(db_.Exec("BEGIN;").ok());
    for (int i = 0; i < 6000; ++i)
        ASSERT_TRUE(db_.Exec(Sql("INSERT INTO items2 (isound, igansw, irng_2, iplace, dtansn) values(1, 1, 10, %i, "
                                 "'2024-02-01 00:00:00');",
                                 i))
                        .ok());
    ASSERT_TRUE(db_.Exec("COMMIT;").ok());
    long long id = -2;
    ASSERT_TRUE(Caches().FirstDue("2024-01-15 00:00:00", -1, {1}, id));
    EXPECT_EQ(id, -1) << "nothing is due";
    ASSERT_TRUE(db_.Exec("UPDATE items2 SET dtansn='2024-01-10 00:00:00' WHERE ididnt IN (5990, 5995);").ok());
    ASSERT_TRUE(Caches().FirstDue("2024-01-15 00:00:00", -1, {1}, id));
    EXPECT_EQ(id, 5990);
    ASSERT_TRUE(Caches().FirstDue("2024-01-15 00:00:00", 5990, {1}, id));
    EXPECT_EQ(id, 5995);
    ASSERT_TRUE(db_.Exec("UPDATE items2 SET dtansn=1.5 WHERE ididnt=3;").ok());
    ASSERT_TRUE(Caches().FirstDue("2024-01-15 00:00:00", -1, {1}, id));
    EXPECT_EQ(id, 3) << "a number is before every text";
    ASSERT_TRUE(Caches().FirstDue("2024-01-15 00:00:00", -1, {2}, id));
    EXPECT_EQ(id, -1) << "no row of that module";
}

// The queue keeps a module's rows in blocks that split as rows are added and go when emptied;
// each keeps its earliest due time. One due row among 2,000 that are not, added behind the
// filled rows (so that the block it lands in splits), then taken away.
TEST_F(LessonCachesTest, FirstDueThroughBlocksThatSplitAndEmpty) {
    auto add = [this](int place, const char* due) {
        return db_.Exec(Sql("INSERT INTO items2 (isound, igansw, irng_2, iplace, dtansn) values(1, 1, 10, %i, '%s');",
                            place, due))
            .ok();
    };
    const std::string now = "2024-01-15 00:00:00";
    ASSERT_TRUE(db_.Exec("BEGIN;").ok());
    for (int i = 0; i < 600; ++i) ASSERT_TRUE(add(i, "2024-02-01 00:00:00"));
    ASSERT_TRUE(db_.Exec("COMMIT;").ok());
    long long id = -2;
    ASSERT_TRUE(Caches().FirstDue(now, -1, {1}, id));  // filled now
    EXPECT_EQ(id, -1);
    ASSERT_TRUE(db_.Exec("BEGIN;").ok());
    for (int i = 0; i < 1400; ++i) ASSERT_TRUE(add(1000 + i, i == 500 ? "2024-01-10 00:00:00" : "2024-02-01 00:00:00"));
    ASSERT_TRUE(db_.Exec("COMMIT;").ok());
    const long long dueId = 600 + 500 + 1;
    ASSERT_TRUE(Caches().FirstDue(now, -1, {1}, id));
    EXPECT_EQ(id, dueId);
    ASSERT_TRUE(Caches().FirstDue(now, dueId, {1}, id));
    EXPECT_EQ(id, -1);
    // Everything before it deleted: its block is now the first.
    ASSERT_TRUE(db_.Exec(Sql("DELETE FROM items2 WHERE ididnt<%lld;", dueId)).ok());
    ASSERT_TRUE(Caches().FirstQueued(-1, {1}, id));
    EXPECT_EQ(id, dueId);
    ASSERT_TRUE(Caches().FirstDue(now, -1, {1}, id));
    EXPECT_EQ(id, dueId);
    ASSERT_TRUE(db_.Exec(Sql("UPDATE items2 SET dtansn='2024-03-01 00:00:00' WHERE ididnt=%lld;", dueId)).ok());
    ASSERT_TRUE(Caches().FirstDue(now, -1, {1}, id));
    EXPECT_EQ(id, -1);
    ASSERT_TRUE(db_.Exec("DELETE FROM items2;").ok());
    ASSERT_TRUE(Caches().FirstQueued(-1, {1}, id));
    EXPECT_EQ(id, -1);
    ASSERT_TRUE(add(5, "2024-01-01 00:00:00"));
    ASSERT_TRUE(Caches().FirstDue(now, -1, {1}, id));
    EXPECT_EQ(id, 2001);
}

// Both answers of the due queue against the choice's statements, over random writes of modules,
// places and due times (numbers, odd texts and NULLs among them, modules moved behind the others
// in the queue, enough rows to split and empty its blocks), in random selections of the modules.
TEST_F(LessonCachesTest, FirstDueAndFirstQueuedAgreeWithTheStatementsInEverySelection) {
    std::mt19937 gen(23);
    auto draw = [&gen](int n) { return static_cast<int>(gen() % static_cast<unsigned>(n)); };
    auto dueText = [&]() -> std::string {
        switch (draw(12)) {
            case 0: return "45000";
            case 1: return "'soon'";
            case 2: return "NULL";
            default: return Sql("'2024-01-%02d %02d:00:00'", 1 + draw(28), draw(24));
        }
    };
    ASSERT_TRUE(db_.Exec("BEGIN;").ok());
    for (int i = 0; i < 2600; ++i)
        ASSERT_TRUE(db_.Exec(Sql("INSERT INTO items2 (isound, igansw, irng_2, iplace, dtansn) values(%i, 1, 10, %i, %s);",
                                 1 + (draw(3) == 0 ? draw(4) : 0), draw(3000) - 50, dueText().c_str()))
                        .ok());
    ASSERT_TRUE(db_.Exec("COMMIT;").ok());
    const char* dueSql = "SELECT ididnt FROM items2 WHERE dtansn < ? AND ididnt != ? AND isound IN (%s) ORDER BY "
                         "iplace ASC, ididnt ASC LIMIT 1;";
    const char* queuedSql = "SELECT ididnt FROM items2 WHERE ididnt != ? AND isound IN (%s) ORDER BY iplace ASC, "
                            "ididnt ASC LIMIT 1;";
    int told = 0;
    for (int round = 0; round < 24; ++round) {
        for (int w = 0; w < 25; ++w) {
            const int id = 1 + draw(2700);
            std::string sql;
            switch (draw(9)) {
                case 0: sql = Sql("UPDATE items2 SET iplace=%i WHERE ididnt=%i;", draw(3000) - 50, id); break;
                case 1: sql = Sql("UPDATE items2 SET dtansn=%s WHERE ididnt=%i;", dueText().c_str(), id); break;
                case 2: sql = Sql("UPDATE items2 SET isound=%s WHERE ididnt=%i;", draw(4) ? "2" : "'x'", id); break;
                case 3: sql = Sql("DELETE FROM items2 WHERE ididnt=%i;", id); break;
                case 4:
                    sql = Sql("INSERT INTO items2 (isound, iplace, dtansn) values(%i, %i, %s);", 1 + draw(4),
                              draw(3000) - 50, dueText().c_str());
                    break;
                case 5:  // a module moved behind the others, or back
                    sql = Sql("UPDATE items2 SET iplace=iplace%s10000 WHERE isound=%i;", draw(2) ? "+" : "-", 1 + draw(4));
                    break;
                case 6:  // a place that is not an integer, now and then, and put right again
                    sql = w % 5 == 0 ? Sql("UPDATE items2 SET iplace=2.5 WHERE ididnt=%i;", id)
                                     : "UPDATE items2 SET iplace=7 WHERE typeof(iplace)!='integer';";
                    break;
                case 7: sql = Sql("UPDATE items2 SET dtansn=%s, iplace=%i WHERE ididnt=%i;", dueText().c_str(), draw(40), id); break;
                default: sql = Sql("UPDATE items2 SET irng_2=%i WHERE ididnt=%i;", draw(900), id); break;
            }
            ASSERT_TRUE(db_.Exec(sql).ok()) << sql;
        }
        for (int pick = 0; pick < 6; ++pick) {
            std::vector<long long> modules;
            std::string list;
            for (long long m = 1; m <= 4; ++m)
                if (draw(2)) {
                    modules.push_back(m);
                    list += (list.empty() ? "" : ", ") + std::to_string(m);
                }
            if (list.empty()) list = "NULL";
            const std::string now = Sql("2024-01-%02d 12:00:00", 1 + draw(30));
            long long unplaced = 0;
            db_.Query(Sql("SELECT count(*) FROM items2 WHERE typeof(iplace)!='integer' AND isound IN (%s);", list.c_str()),
                      [&unplaced](int, char** v, char**) { unplaced = std::stoll(v[0]); });
            for (long long exclude : {-1LL, static_cast<long long>(1 + draw(2700))}) {
                const std::string where = "round " + std::to_string(round) + " modules " + list + " now " + now +
                                          " exclude " + std::to_string(exclude);
                long long expected = -1;
                db_.QueryCached(Sql(dueSql, list.c_str()).c_str(), {now, exclude},
                                [&expected](int, char** v, char**) { expected = std::stoll(v[0]); });
                long long id = -2;
                if (Caches().FirstDue(now, exclude, modules, id)) {
                    EXPECT_EQ(id, expected) << "due, " << where;
                    ++told;
                } else {
                    EXPECT_GT(unplaced, 0) << "due, " << where;
                }
                expected = -1;
                db_.QueryCached(Sql(queuedSql, list.c_str()).c_str(), {exclude},
                                [&expected](int, char** v, char**) { expected = std::stoll(v[0]); });
                if (Caches().FirstQueued(exclude, modules, id)) {
                    EXPECT_EQ(id, expected) << "queued, " << where;
                    ++told;
                } else {
                    EXPECT_GT(unplaced, 0) << "queued, " << where;
                }
            }
        }
    }
    EXPECT_GT(told, 400) << "the queue answered";
}

// The score history the totals keep against the statements of the answer windows and of the
// forecast's stretches.
class HistoryTest : public LessonCachesTest {
protected:
    void AddHistory(const char* date, const char* score) {
        ASSERT_TRUE(db_.Exec(Sql("INSERT INTO answcn (glrang, isentn, dtdate, glansn) values(%Q, 1, %Q, '1.00000');",
                                 score, date))
                        .ok());
    }

    // Windows of every hour of three days: the kept counts equal the statement's.
    void ExpectWindowsCurrent(const std::string& where) {
        std::vector<std::string> after, upTo;
        for (int h = 0; h < 72; ++h) {
            after.push_back(Sql("2024-01-%02d %02d:00:00", 1 + h / 24, h % 24));
            upTo.push_back(Sql("2024-01-%02d %02d:30:00", 1 + (h + 5) / 24, (h + 5) % 24));
        }
        std::vector<long long> counts(after.size(), -1);
        ASSERT_TRUE(Caches().CountHistoryBetween(after.data(), upTo.data(), static_cast<int>(after.size()),
                                                      counts.data()))
            << where;
        for (size_t i = 0; i < after.size(); ++i) {
            long long expected = -1;
            db_.Query(Sql("SELECT count(*) FROM answcn WHERE dtdate>'%q' AND dtdate<='%q';", after[i].c_str(),
                          upTo[i].c_str()),
                      [&expected](int, char** v, char**) { expected = std::stoll(v[0]); });
            EXPECT_EQ(counts[i], expected) << where << " window " << i;
        }
    }

    // Every stretch of the newest-first order: the same rows as the statement, in its order.
    void ExpectNewestCurrent(const std::string& where) {
        for (long long offset : {0LL, 1LL, 3LL, 7LL, 40LL}) {
            std::vector<HistoryRow> rows;
            ASSERT_TRUE(Caches().NewestHistory(offset, 5, rows)) << where;
            std::vector<std::string> expected;
            db_.Query(Sql("SELECT glrang, dtdate FROM answcn ORDER BY dtdate DESC LIMIT %lld, 5;", offset),
                      [&expected](int, char** v, char**) {
                          // The score as the row store reads the text.
                          const std::string score =
                              v[0] ? Sql("%.5f", static_cast<double>(static_cast<float>(CAtof(v[0])))) : "<null>";
                          expected.push_back(score + "|" + (v[1] ? v[1] : "<null>"));
                      });
            std::vector<std::string> kept;
            for (const HistoryRow& r : rows)
                kept.push_back((r.scored ? Sql("%.5f", static_cast<double>(r.score)) : std::string("<null>")) + "|" +
                               (r.dateKey >= 0 ? DateKeyText(r.dateKey) : std::string("<null>")));
            EXPECT_EQ(kept, expected) << where << " offset " << offset;
        }
    }

    void ExpectCurrent(const std::string& where) {
        ExpectWindowsCurrent(where);
        ExpectNewestCurrent(where);
    }

    void Fill() {
        for (int i = 0; i < 30; ++i) {
            // Every fifth row shares the date of the one before it.
            const int k = i % 5 == 0 && i > 0 ? i - 1 : i;
            AddHistory(Sql("2024-01-%02d %02d:%02d:00", 1 + k / 12, 2 * (k % 12), k % 60).c_str(),
                       Sql("%.5f", 10.0 + i).c_str());
        }
    }
};

TEST_F(HistoryTest, DateKeysCompareAsTheTexts) {
    long long a = 0, b = 0;
    ASSERT_TRUE(DateKey("2024-01-02 03:04:05", a));
    ASSERT_TRUE(DateKey("2024-01-02 03:04:06", b));
    EXPECT_LT(a, b);
    EXPECT_EQ(DateKeyText(a), "2024-01-02 03:04:05");
    for (const char* odd : {"", "2024-01-02", "2024-01-02 03:04:05 ", "2024-01-02T03:04:05", "2024-1-02 03:04:05x"})
        EXPECT_FALSE(DateKey(odd, a)) << odd;
}

TEST_F(HistoryTest, FollowsInsertsDeletesUpdatesAndRollback) {
    Fill();
    ExpectCurrent("filled");
    AddHistory("2024-01-04 00:00:00", "55.00000");
    ExpectCurrent("appended");
    AddHistory("2024-01-02 00:00:00", "56.00000");
    AddHistory("2024-01-02 00:00:00", "57.00000");
    ExpectCurrent("dated earlier");
    AddHistory(nullptr, "58.00000");
    AddHistory("2024-01-03 05:00:00", nullptr);
    ExpectCurrent("no date, no score");
    const char* writes[] = {
        "DELETE FROM answcn WHERE dtdate<'2024-01-02 00:00:00';",
        "UPDATE answcn SET dtdate='2024-01-01 05:00:00' WHERE ididnt%4=0;",
        "UPDATE answcn SET glrang='x' WHERE ididnt%3=0;",
        "INSERT OR REPLACE INTO answcn (ididnt, glrang, dtdate) values(20, '1.5', '2024-01-03 01:00:00');",
        "BEGIN; DELETE FROM answcn; INSERT INTO answcn (glrang, dtdate) values('1', '2024-01-05 00:00:00'); ROLLBACK;",
    };
    for (const char* sql : writes) {
        ASSERT_TRUE(db_.Exec(sql).ok()) << sql;
        ExpectCurrent(sql);
    }
}

TEST_F(HistoryTest, AnotherConnectionsRowsAreSeen) {
    Fill();
    ExpectCurrent("filled");
    Database other;
    ASSERT_TRUE(other.Open(db_.Path()).ok());
    ASSERT_TRUE(other.Exec("INSERT INTO answcn (glrang, dtdate) values('3.25', '2024-01-02 10:00:00');").ok());
    ExpectCurrent("another connection inserted");
    ASSERT_TRUE(other.Exec("DELETE FROM answcn WHERE ididnt<5;").ok());
    ExpectCurrent("another connection deleted");
}

TEST_F(HistoryTest, DatesThatAreNotDateTextsLeaveItToTheStatements) {
    Fill();
    ExpectCurrent("filled");
    const std::string after[] = {"2024-01-01 00:00:00"};
    const std::string upTo[] = {"2024-01-09 00:00:00"};
    long long count = 0;
    std::vector<HistoryRow> rows;
    for (const char* odd : {"45000", "'2024-01-02'", "x'01'"}) {
        ASSERT_TRUE(db_.Exec(Sql("INSERT INTO answcn (glrang, dtdate) values('1', %s);", odd)).ok());
        EXPECT_FALSE(Caches().CountHistoryBetween(after, upTo, 1, &count)) << odd;
        EXPECT_FALSE(Caches().NewestHistory(0, 5, rows)) << odd;
        ASSERT_TRUE(db_.Exec("DELETE FROM answcn WHERE typeof(dtdate)!='text' OR length(dtdate)!=19;").ok());
        ExpectCurrent(odd);
    }
    const std::string notADate[] = {"soon"};
    EXPECT_FALSE(Caches().CountHistoryBetween(notADate, upTo, 1, &count));
}

// A "ROLLBACK TO" undoes rows the caches were told of, with no rollback hook: whatever way it is
// run, the caches then agree with the statements again.
class SavepointTest : public HistoryTest {
protected:
    // The first due sentence of modules 1 and 3 at one time, kept and by the statement.
    void ExpectFirstDueCurrent(const std::string& where) {
        const std::string now = "2024-01-10 12:00:00";
        long long expected = -1;
        db_.Query(Sql("SELECT ididnt FROM items2 WHERE dtansn < '%q' AND ididnt != -1 AND isound IN (1, 3) "
                      "ORDER BY iplace ASC, ididnt ASC LIMIT 1;",
                      now.c_str()),
                  [&expected](int, char** v, char**) { expected = std::stoll(v[0]); });
        long long id = -2;
        ASSERT_TRUE(Caches().FirstDue(now, -1, {1, 3}, id)) << where;
        EXPECT_EQ(id, expected) << where;
    }

    void ExpectAllCurrent(const std::string& where) {
        LessonCachesTest::ExpectCurrent(where.c_str());
        HistoryTest::ExpectCurrent(where);
        ExpectFirstDueCurrent(where);
    }

    // Rows of both tables, each read once into the caches.
    void Start() {
        for (int i = 0; i < 12; ++i) Add(i % 4, i * 5);
        Fill();
        ExpectAllCurrent("start");
    }

    // Changes of every kind to both tables, which the caches hear of row by row.
    void Change(unsigned n) {
        ASSERT_TRUE(db_.Exec(Sql("INSERT INTO items2 (isound, igansw, irng_2, iplace, dtansn) values(%u, %u, %u, %u, "
                                 "'2024-01-%02u 00:00:00'); "
                                 "UPDATE items2 SET igansw=igansw+1, irng_2=irng_2+%u, iplace=iplace-%u WHERE ididnt%%5=%u; "
                                 "DELETE FROM items2 WHERE ididnt=%u; "
                                 "INSERT INTO answcn (glrang, isentn, dtdate, glansn) values('%u.5', 1, "
                                 "'2024-01-03 %02u:00:00', '1'); DELETE FROM answcn WHERE ididnt=%u;",
                                 1 + n % 3, n % 7, n % 50, n % 9, 1 + n % 20, n % 11, n % 4, n % 5, 3 + n % 17, n % 90,
                                 n % 24, 2 + n % 31))
                        .ok());
    }
};

TEST_F(SavepointTest, EveryWayOfRunningARollbackToDropsTheCaches) {
    struct Way {
        const char* what;
        std::function<SqlResult(Database&)> run;
    };
    const Way ways[] = {
        {"Exec", [](Database& db) { return db.Exec("ROLLBACK TO a;"); }},
        {"Exec with the savepoint and its release in the text",
         [](Database& db) { return db.Exec("SAVEPOINT b; UPDATE items2 SET igansw=5; ROLLBACK TO b; RELEASE b;"); }},
        {"ExecCached", [](Database& db) { return db.ExecCached("ROLLBACK TO a;", {}); }},
        {"QueryCached", [](Database& db) { return db.QueryCached("ROLLBACK TO SAVEPOINT a;", {}, RowCallback()); }},
        {"Query, spelt in full and after a comment",
         [](Database& db) { return db.Query("  /* undo */ -- all of it\n rollback transaction to savepoint a;", RowCallback()); }},
        {"Scan", [](Database& db) { return db.Scan("ROLLBACK TO a;", [](const ScanRow&) {}); }},
    };
    Start();
    for (const Way& w : ways) {
        ASSERT_TRUE(db_.Exec("SAVEPOINT a;").ok()) << w.what;
        Change(7);
        ExpectAllCurrent(std::string("changed before ") + w.what);
        ASSERT_TRUE(w.run(db_).ok()) << w.what;
        ExpectAllCurrent(w.what);
        ASSERT_TRUE(db_.Exec("RELEASE a;").ok()) << w.what;
        ExpectAllCurrent(std::string("released after ") + w.what);
    }
}

// Nested savepoints, their releases and rollbacks, and whole transactions, in random order; the
// caches are read between the steps, so that each of them has something to keep.
TEST_F(SavepointTest, RandomNestingsAgreeWithTheStatements) {
    Start();
    for (unsigned seed = 1; seed <= 12; ++seed) {
        std::mt19937 random(seed);
        std::vector<std::string> open;  // the savepoints, innermost last
        std::string done;
        for (int step = 0; step < 40; ++step) {
            const unsigned n = random();
            std::string sql;
            switch (n % 6) {
                case 0:
                case 1: Change(n / 6); done += "change "; break;
                case 2:
                    open.push_back("s" + std::to_string(step));
                    sql = "SAVEPOINT " + open.back() + ";";
                    break;
                case 3:
                case 4:
                    if (open.empty()) break;
                    {
                        // Any open savepoint, not only the innermost one.
                        const size_t k = (n / 6) % open.size();
                        sql = (n % 6 == 3 ? "ROLLBACK TO " : "RELEASE ") + open[k] + ";";
                        open.resize(n % 6 == 4 ? k : k + 1);
                    }
                    break;
                case 5:
                    if (open.empty()) break;
                    sql = (n / 6) % 2 ? "ROLLBACK;" : "COMMIT;";
                    open.clear();
                    break;
            }
            if (!sql.empty()) {
                ASSERT_TRUE(db_.Exec(sql).ok()) << sql;
                done += sql + " ";
            }
            if (random() % 2) ExpectAllCurrent("seed " + std::to_string(seed) + ": " + done);
            if (HasFailure()) return;
        }
        if (!open.empty()) {
            ASSERT_TRUE(db_.Exec("COMMIT;").ok());
        }
        ExpectAllCurrent("seed " + std::to_string(seed) + " at its end: " + done);
    }
}

// The sound thread writes the word statistics on the same connection while the user-interface
// thread reads the totals and writes sentences.
TEST_F(LessonCachesTest, TwoThreadsOnOneConnection) {
    for (int i = 0; i < 50; ++i) Add(i % 5, i);
    ASSERT_TRUE(db_.Exec("INSERT INTO wrdstt (icount, ianswr, istate, twordd) values(1, 0, 0, 'w');").ok());
    std::atomic<bool> done{false};
    std::thread sound([&] {
        for (int i = 0; i < 300 && !done; ++i) db_.Exec("UPDATE wrdstt SET ianswr=ianswr+1 WHERE twordd='w';");
    });
    for (int i = 0; i < 200; ++i) {
        ItemTotals t;
        EXPECT_TRUE(Caches().ReadTotals(t));
        db_.Exec(Sql("UPDATE items2 SET igansw=%i, irng_2=%i WHERE ididnt=%i;", i % 7, i, 1 + i % 50));
    }
    done = true;
    sound.join();
    ExpectCurrent("after both threads");
}

}  // namespace
}  // namespace lq
