// The learning step with the in-memory totals and the seeking statement forms against the step
// with its statements as they stand: a few hundred scripted steps (successes, failures, typed
// words, shown answers, imports, edits, odd hand-edited values, deletions, module selection) on
// copies of one database must leave every table, score, label, forecast and row store the same.
// The same with a rollback in the middle and with a second connection that writes between steps.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/AppContext.h"
#include "core/AppState.h"
#include "core/CurrentRow.h"
#include "core/Database.h"
#include "core/LearningStep.h"
#include "core/LessonCaches.h"
#include "core/Random.h"
#include "core/SentenceBoard.h"
#include "core/Settings.h"
#include "core/SqlText.h"
#include "core/Transaction.h"
#include "tests/core/CoreTestDb.h"
#include "tests/support/RawConnection.h"

namespace lq {
namespace {

using test::At;
using test::FixedClock;

// The statements the step ran before the totals and the seeking forms: the reference run must
// send nothing else.
const std::set<std::string>& ReferenceStatements() {
    static const std::set<std::string> texts = {
        "BEGIN IMMEDIATE;",
        "COMMIT;",
        "SELECT * FROM items2 WHERE ididnt=?;",
        "SELECT * FROM items2 ORDER BY iplace ASC LIMIT ?,1;",
        "SELECT * FROM items2 WHERE isound=? AND igansw>? AND ididnt<? ORDER BY ididnt ASC LIMIT 1;",
        "SELECT * FROM items2 WHERE isound=? AND igansw=? AND ididnt<? ORDER BY ididnt DESC LIMIT 1;",
        "SELECT * FROM items2 WHERE igansw<=? ORDER BY iplace DESC LIMIT 1;",
        "SELECT * FROM items2 ORDER BY iplace ASC LIMIT ?, 1;",
        "UPDATE items2 set irange=?,   irng_2=?,   igansw=?,   iplace=?,   iaansw=?,   dtansw=?, dtansn=?  WHERE "
        "ididnt=?;",
        "UPDATE items2 set irange=?, igansw=?, iplace=?, dtansw=?, dtansn=? WHERE ididnt=?;",
        "UPDATE items2 set strind=? WHERE ididnt=?;",
        "SELECT * FROM items2 WHERE dtansn < ? AND ididnt != ?\t\t\t\t\tAND isound IN (SELECT ididnt FROM sounds "
        "WHERE isigns=1) ORDER BY iplace ASC, ididnt ASC LIMIT 0,1;",
        "SELECT * FROM items2 WHERE ididnt != ?\t\t\t\t\t\tAND isound IN (SELECT ididnt FROM sounds WHERE "
        "isigns=1) ORDER BY iplace ASC, ididnt ASC LIMIT 0,1;",
        "SELECT * FROM items2 ORDER BY iplace ASC, ididnt ASC LIMIT 0, 1;",
        "SELECT count(*) FROM items2 WHERE igansw=?;",
        "SELECT count(*) FROM items2 WHERE igansw>=?;",
        "SELECT sum(irng_2) FROM items2;",
        "SELECT count(*) FROM answcn WHERE dtdate>? AND dtdate<=?;",
        "INSERT INTO answcn (glrang, isentn, dtdate, glansn) values(?, ?, ?, ?);",
        "SELECT glrang FROM answcn ORDER BY dtdate DESC LIMIT 15000, 100;",
        "SELECT glrang FROM answcn ORDER BY dtdate DESC LIMIT 0, 100;",
        "SELECT dtdate FROM answcn ORDER BY dtdate DESC LIMIT 15000, 1;",
        "SELECT dtdate FROM answcn ORDER BY dtdate DESC LIMIT 0, 1;",
    };
    return texts;
}

int TraceStatement(unsigned, void* context, void* statement, void*) {
    const char* sql = sqlite3_sql(static_cast<sqlite3_stmt*>(statement));
    if (sql) static_cast<std::set<std::string>*>(context)->insert(sql);
    return 0;
}

// One program's world on its own copy of the database.
struct World {
    enum class Kind { Fast, Reference, ReferenceOnIndexedFile };

    World(const std::string& path, Kind kind, DateTime now) : clock(now), rng(11) {
        const SqlResult opened = db.Open(path);
        if (!opened.ok()) ADD_FAILURE() << opened.message;
        if (kind != Kind::Fast) LessonCaches::SetEnabled(db, false);
        if (kind == Kind::Reference) {
            // The file as the program left it before the added indexes.
            db.Exec("DROP INDEX IF EXISTS igansw_isound; DROP INDEX IF EXISTS igansw_iplace;");
            trace = true;
        }
        // The disk's flushes are not what is compared here.
        db.Exec("PRAGMA synchronous=OFF;");
        settings.InputAfter = 5;
        settings.InputAfterFloat = 5.0f;
        settings.ScheduleExponent = 2.3f;
        ctx.env = &env;
        ctx.state = &state;
        ctx.settings = &settings;
        ctx.db = &db;
        ctx.row = &row;
        ctx.clock = &clock;
        ctx.rng = &rng;
    }

    void Start() {
        CountItems();
        state.CurrentItemId = SelectNextItem(db, row, clock, -1);
        state.NextItemId = SelectNextItem(db, row, clock, state.CurrentItemId);
    }

    void CountItems() {
        row.CountResult = 0;
        db.Query("SELECT count(*) FROM items2;", row);
        state.ItemCount = row.CountResult;
    }

    ScheduleResult Step(const SentenceBoard& b, bool shown) {
        board = b;
        state.SentenceSolved = true;
        state.AnswerShown = shown;
        LearningStep step(ctx, board, hooks, [] { return 0u; });
        if (trace) sqlite3_trace_v2(lq::test::RawHandle(db), SQLITE_TRACE_STMT, TraceStatement, &traced);
        const ScheduleResult r = step.Run();
        if (trace) sqlite3_trace_v2(lq::test::RawHandle(db), 0, nullptr, nullptr);
        return r;
    }

    Database db;
    FixedClock clock;
    StdRandom rng;
    ProgramEnv env;
    LearnState state;
    CommonSettings settings;
    CurrentRow row;
    AppContext ctx;
    SentenceBoard board;
    NullLearningStepHooks hooks;
    bool trace = false;
    std::set<std::string> traced;  // the statements of the steps (the reference world only)
};

std::string Dump(const Database& db, const char* sql) {
    std::ostringstream out;
    db.Query(sql, [&out](int n, char** v, char**) {
        for (int i = 0; i < n; ++i) out << (v[i] ? v[i] : "<null>") << '|';
        out << '\n';
    });
    return out.str();
}

std::string Tables(const Database& db) {
    return Dump(db, "SELECT typeof(igansw), typeof(iplace), * FROM items2 ORDER BY ididnt;") +
           Dump(db, "SELECT * FROM answcn ORDER BY ididnt;") + Dump(db, "SELECT * FROM sounds ORDER BY ididnt;") +
           Dump(db, "SELECT * FROM wrdstt ORDER BY ididnt;");
}

std::string RowStore(const CurrentRow& r) {
    std::ostringstream out;
    out << r.sfname << '|' << r.isigns << '|' << r.CountResult << '|' << r.ididnt << '|' << r.isound << '|' << r.isndbg
        << '|' << r.isndfn << '|' << r.irange << '|' << r.irng_2 << '|' << r.iaansw << '|' << r.igansw << '|'
        << r.dtansw << '|' << r.dtansn << '|' << r.iplace << '|' << r.strbef << '|' << r.stract << '|' << r.straft
        << '|' << r.strtrn << '|' << r.strind << '|' << r.ipicnm << '|' << r.glrang << '|' << r.dtdate << '|'
        << r.isentn << '|' << r.glansn << '|' << r.GlrangSum << '|' << r.IntAggregate << '|' << r.FloatAggregate;
    return out.str();
}

std::string Result(const ScheduleResult& r) {
    std::ostringstream out;
    out << r.found << r.success << r.typed << ' ' << r.irange << ' ' << r.igansw << ' ' << r.irng_2 << ' ' << r.iaansw
        << ' ' << r.place << ' ' << r.dtansn;
    return out.str();
}

std::string Labels(const LearnState& s) {
    const ScoreLabelTexts t = MakeScoreLabelTexts(s.Score, s.DaysToTarget);
    std::ostringstream out;
    out << t.score << '|' << t.score2 << '|' << t.scoreHint << '|' << t.daysLeft << '|' << t.daysLeftHint << '|'
        << s.Score << '|' << s.DaysToTarget << '|' << s.CurrentItemId << '|' << s.NextItemId << '|'
        << s.AnswerHistoryCount;
    return out.str();
}

class StepEquivalence : public ::testing::Test {
protected:
    static constexpr int kModules = 3;

    StepEquivalence() : gen_(2024) {
        const std::string seed = dir_.File("seed.db");
        {
            Database db;
            EXPECT_TRUE(db.Open(seed).ok());
            db.Exec("BEGIN;");
            for (int m = 0; m < kModules; ++m)
                db.Exec(Sql("INSERT INTO sounds (isigns, icodes, sfname) values(%i, 0, 'm%i.mp3');", m == 2 ? 0 : 1, m));
            for (int i = 0; i < 160; ++i) AddSentence(db);
            // More than 15000 history rows, so that the forecast has a trend; some share a date,
            // one has no date and one no score.
            for (int i = 0; i < 15080; ++i) {
                // Every 50th row has the date of the one before it.
                const int k = i % 50 == 0 && i > 0 ? i - 1 : i;
                const DateTime when = now_ - 60.0 + k * (59.0 / 15080.0);
                db.Exec(Sql("INSERT INTO answcn (glrang, isentn, dtdate, glansn) values('%.5f', 160, '%q', '1.00000');",
                            5.0 + 0.001 * i + (i % 7) * 0.01, DateText(when).c_str()));
            }
            db.Exec("INSERT INTO answcn (glrang, isentn, dtdate, glansn) values('7.00000', 160, NULL, '1.00000');");
            db.Exec(Sql("INSERT INTO answcn (glrang, isentn, dtdate, glansn) values(NULL, 160, '%q', '1.00000');",
                        DateText(now_ - 3.0).c_str()));
            db.Exec("COMMIT;");
        }
        const char* names[] = {"fast.db", "reference.db", "indexed.db"};
        const World::Kind kinds[] = {World::Kind::Fast, World::Kind::Reference, World::Kind::ReferenceOnIndexedFile};
        for (int w = 0; w < 3; ++w) {
            std::filesystem::copy_file(seed, dir_.File(names[w]));
            worlds_.push_back(std::make_unique<World>(dir_.File(names[w]), kinds[w], now_));
            worlds_.back()->Start();
        }
    }

    int Draw(int n) { return static_cast<int>(gen_() % static_cast<unsigned>(n)); }

    // A sentence as an import leaves it, with a schedule as steps leave one: many equal places
    // and good-answer counts, so that ties decide.
    void AddSentence(Database& db) {
        const int igansw = Draw(9);
        db.Exec(Sql("INSERT INTO items2 (isound, isndbg, isndfn, isigns, irange, irng_2, iaansw, igansw, dtansw, dtansn, "
                    "iplace, isntbf, isntaf, strbef, stract, straft, strtrn, strind, ipicnm, ipic_1, ipic_2, ipic_3, "
                    "ipic_4, ipic_5) values(%i, 0, 0, 1, %i, %i, %i, %i, '%q', '%q', %i, -1, -1, '', 'a b c', '', '', "
                    "'0', 0, 0, 0, 0, 0, 0);",
                    1 + Draw(kModules), std::min(igansw, 5), Draw(4) == 0 ? Draw(901) : 10, igansw + Draw(3), igansw,
                    DateText(now_ - 5.0).c_str(), DateText(now_ - 1.0 + 0.05 * Draw(60)).c_str(), Draw(40) - 5));
    }

    SentenceBoard RandomBoard() {
        SentenceBoard b;
        const int tiles = 1 + Draw(6);
        for (int t = 0; t < tiles; ++t) {
            WordTile tile;
            tile.Text = "w" + std::to_string(t);
            b.WordTiles.push_back(tile);
        }
        b.WordWeightPairs.assign(static_cast<size_t>(2 * tiles), 0);
        b.WordCounts.assign(static_cast<size_t>(2 * tiles), 0);
        if (Draw(3) == 0) {  // words to type
            for (int t = 0; t < tiles; ++t) {
                b.WordWeightPairs[static_cast<size_t>(2 * t)] = Draw(2);
                b.WordWeightPairs[static_cast<size_t>(2 * t + 1)] = Draw(60);
                b.WordCounts[static_cast<size_t>(2 * t)] = Draw(4);
            }
            b.WordWeightPairs[0] = 1;
            b.TypedWordTiles = {0};
            if (tiles > 2) b.TypedWordTiles.push_back(2);
        }
        return b;
    }

    // The same statement in every world (imports and edits between steps).
    void Everywhere(const std::string& sql) {
        for (auto& w : worlds_) ASSERT_TRUE(w->db.Exec(sql).ok()) << sql;
    }

    // Edits between steps as the Edit page, the imports, a module deletion or a hand edit make
    // them.
    void EditBetweenSteps(int step) {
        switch (Draw(10)) {
            case 0: {  // an import of a few sentences, the same in every world
                const int n = 1 + Draw(4);
                const std::mt19937 start = gen_;
                for (auto& w : worlds_) {
                    gen_ = start;
                    for (int i = 0; i < n; ++i) AddSentence(w->db);
                }
                break;
            }
            case 1:
                Everywhere(Sql("UPDATE items2 SET igansw=%i, iplace=%i WHERE ididnt=%i;", Draw(12), Draw(40) - 5,
                               1 + Draw(160)));
                break;
            case 2: Everywhere(Sql("UPDATE items2 SET irng_2=%i WHERE ididnt=%i;", Draw(901), 1 + Draw(160))); break;
            case 3:  // a hand-edited file: values that are not integers, for a few steps
                if (step % 3 == 0)
                    Everywhere(Sql("UPDATE items2 SET igansw='x', irng_2=2.5 WHERE ididnt=%i;", 1 + Draw(160)));
                else
                    Everywhere("UPDATE items2 SET igansw=1, irng_2=10 WHERE typeof(igansw)='text';");
                break;
            case 4: Everywhere(Sql("UPDATE sounds SET isigns=%i WHERE ididnt=%i;", Draw(2), 1 + Draw(kModules))); break;
            case 5:  // a module deleted (not the one of the sentences on screen)
                if (step % 4 == 0)
                    Everywhere(Sql("DELETE FROM items2 WHERE isound=3 AND ididnt NOT IN (%i, %i);",
                                   worlds_[0]->state.CurrentItemId, worlds_[0]->state.NextItemId));
                break;
            case 6:  // a due time that is not a date, or none
                Everywhere(Sql("UPDATE items2 SET dtansn=%s WHERE ididnt=%i;", Draw(2) ? "45000" : "'soon'",
                               1 + Draw(160)));
                break;
            default: break;
        }
        for (auto& w : worlds_) w->CountItems();
    }

    void Compare(const std::string& where) {
        const World& ref = *worlds_[1];
        for (size_t i = 0; i < worlds_.size(); ++i) {
            if (i == 1) continue;
            const World& w = *worlds_[i];
            ASSERT_EQ(Labels(w.state), Labels(ref.state)) << where << " world " << i;
            ASSERT_EQ(RowStore(w.row), RowStore(ref.row)) << where << " world " << i;
        }
    }

    void CompareTables(const std::string& where) {
        const std::string ref = Tables(worlds_[1]->db);
        for (size_t i = 0; i < worlds_.size(); ++i)
            if (i != 1) {
                ASSERT_EQ(Tables(worlds_[i]->db), ref) << where << " world " << i;
            }
    }

    // One scripted step in every world, then the clock moves on.
    void StepAll(int step) {
        const SentenceBoard board = RandomBoard();
        const bool shown = Draw(4) == 0;
        std::vector<std::string> results;
        for (auto& w : worlds_) results.push_back(Result(w->Step(board, shown)));
        for (size_t i = 0; i < results.size(); ++i)
            ASSERT_EQ(results[i], results[1]) << "step " << step << " world " << i;
        Compare("step " + std::to_string(step));
        // Minutes to a day; now and then so long that everything is due, or back so that nothing is.
        const double advance = Draw(20) == 0 ? 3.0 : Draw(20) == 0 ? -2.0 : (1 + Draw(120)) / 1440.0;
        for (auto& w : worlds_) w->clock.Set(w->clock.Now() + advance);
    }

    void ExpectOnlyReferenceStatements() {
        for (const std::string& sql : worlds_[1]->traced)
            if (sql.find("items2") != std::string::npos || sql.find("answcn") != std::string::npos) {
                EXPECT_TRUE(ReferenceStatements().count(sql)) << "not a reference statement: " << sql;
            }
    }

    test::TempDir dir_;
    DateTime now_ = At(2024, 3, 10, 12, 0, 0);
    std::mt19937 gen_;
    std::vector<std::unique_ptr<World>> worlds_;
};

TEST_F(StepEquivalence, ScriptedStepsLeaveEverythingTheSame) {
    for (int step = 0; step < 320; ++step) {
        ASSERT_NO_FATAL_FAILURE(StepAll(step));
        if (step % 3 == 2) {
            ASSERT_NO_FATAL_FAILURE(EditBetweenSteps(step));
        }
        if (step % 40 == 39) {
            ASSERT_NO_FATAL_FAILURE(CompareTables("step " + std::to_string(step)));
        }
    }
    ASSERT_NO_FATAL_FAILURE(CompareTables("the end"));
    ExpectOnlyReferenceStatements();
    EXPECT_GT(worlds_[1]->traced.size(), 15u);
    // The totals served the fast world (the file stayed mostly integer).
    ItemTotals totals;
    ASSERT_NE(LessonCaches::Of(worlds_[0]->db), nullptr);
    EXPECT_TRUE(LessonCaches::Of(worlds_[0]->db)->ReadTotals(totals));
    EXPECT_EQ(totals.rows, worlds_[0]->state.ItemCount);
}

// Newer imports stand at the front of the queue; with them deselected, the one selected module's
// sentences are all behind theirs (and the edits between steps select and deselect modules).
TEST_F(StepEquivalence, SelectedModuleBehindTheDeselectedOnes) {
    ASSERT_NO_FATAL_FAILURE(Everywhere("UPDATE sounds SET isigns=(ididnt=3);"));
    ASSERT_NO_FATAL_FAILURE(Everywhere("UPDATE items2 SET iplace=iplace+1000 WHERE isound=3;"));
    for (auto& w : worlds_) w->Start();
    Compare("start");
    for (int step = 0; step < 200; ++step) {
        ASSERT_NO_FATAL_FAILURE(StepAll(step));
        if (step % 4 == 3) {
            ASSERT_NO_FATAL_FAILURE(EditBetweenSteps(step));
        }
    }
    ASSERT_NO_FATAL_FAILURE(CompareTables("the end"));
    ExpectOnlyReferenceStatements();
}

TEST_F(StepEquivalence, RollbackInTheMiddleDropsTheTotalsOfTheUndoneSteps) {
    for (int step = 0; step < 60; ++step) ASSERT_NO_FATAL_FAILURE(StepAll(step));
    // Steps inside transactions of the caller's, which the steps join: the first is committed
    // with a statement among them that fails after changing two rows (the engine undoes those
    // two changes without a rollback of the transaction), the second is rolled back. They are
    // begun by hand: a Transaction of the caller's would refuse every write after that failure.
    for (bool commit : {true, false}) {
        for (auto& w : worlds_) ASSERT_TRUE(w->db.Exec("BEGIN IMMEDIATE;").ok());
        for (int step = 60; step < 80; ++step) {
            ASSERT_NO_FATAL_FAILURE(StepAll(step));
            if (step == 70) {
                for (auto& w : worlds_)
                    EXPECT_FALSE(w->db.Exec("UPDATE items2 SET igansw=igansw+7, irng_2=irng_2+100, ididnt=CASE WHEN "
                                            "ididnt=3 THEN 2 ELSE ididnt END WHERE ididnt<=3;")
                                     .ok());
            }
        }
        for (auto& w : worlds_) EXPECT_TRUE(w->db.Exec(commit ? "COMMIT;" : "ROLLBACK;").ok());
        for (auto& w : worlds_) w->CountItems();
    }
    for (int step = 80; step < 180; ++step) {
        ASSERT_NO_FATAL_FAILURE(StepAll(step));
        if (step % 5 == 0) {
            ASSERT_NO_FATAL_FAILURE(EditBetweenSteps(step));
        }
    }
    ASSERT_NO_FATAL_FAILURE(CompareTables("after the rollback"));
}

// Steps inside a savepoint of the caller's, which the steps join, undone by a rollback to it
// (SQLite calls no rollback hook for that); the transaction the savepoints began stays open for
// further steps and is then released.
TEST_F(StepEquivalence, RollbackToASavepointDropsTheTotalsOfTheUndoneSteps) {
    for (int step = 0; step < 60; ++step) ASSERT_NO_FATAL_FAILURE(StepAll(step));
    for (auto& w : worlds_) ASSERT_TRUE(w->db.Exec("SAVEPOINT kept; SAVEPOINT undone;").ok());
    for (int step = 60; step < 80; ++step) ASSERT_NO_FATAL_FAILURE(StepAll(step));
    for (auto& w : worlds_) ASSERT_TRUE(w->db.Exec("ROLLBACK TO undone;").ok());
    for (auto& w : worlds_) w->CountItems();
    for (int step = 80; step < 120; ++step) ASSERT_NO_FATAL_FAILURE(StepAll(step));
    for (auto& w : worlds_) ASSERT_TRUE(w->db.Exec("RELEASE kept;").ok());
    for (int step = 120; step < 180; ++step) {
        ASSERT_NO_FATAL_FAILURE(StepAll(step));
        if (step % 5 == 0) {
            ASSERT_NO_FATAL_FAILURE(EditBetweenSteps(step));
        }
    }
    ASSERT_NO_FATAL_FAILURE(CompareTables("after the rollback to a savepoint"));
}

TEST_F(StepEquivalence, SecondConnectionWritingBetweenStepsIsSeen) {
    std::vector<std::unique_ptr<Database>> others;
    for (auto& w : worlds_) {
        others.push_back(std::make_unique<Database>());
        ASSERT_TRUE(others.back()->Open(w->db.Path()).ok());
    }
    for (int step = 0; step < 200; ++step) {
        ASSERT_NO_FATAL_FAILURE(StepAll(step));
        if (step % 4 != 1) continue;
        const std::string sql =
            step % 8 == 1
                ? Sql("UPDATE items2 SET igansw=%i, irng_2=%i, dtansn='%q' WHERE ididnt=%i;", Draw(10), Draw(901),
                      DateText(now_ - 1.0).c_str(), 1 + Draw(160))
                : Sql("INSERT INTO items2 (isound, igansw, irng_2, iplace, dtansn, stract, strind) "
                      "values(1, %i, %i, %i, '%q', 'x y', '0');",
                      Draw(10), Draw(901), Draw(30), DateText(now_).c_str());
        for (auto& o : others) ASSERT_TRUE(o->Exec(sql).ok()) << sql;
        for (auto& w : worlds_) w->CountItems();
    }
    ASSERT_NO_FATAL_FAILURE(CompareTables("with a second connection"));
}

}  // namespace
}  // namespace lq

namespace lq {
namespace {

// Small tables on which the rare roads meet ties: each case is stepped once on a fast and a
// reference copy, and both must write the same schedule.
struct RareCase {
    const char* name;
    std::vector<std::array<int, 4>> rows;  // isound, igansw, iplace, due (1), not due (0), a number (2)
    int current;                           // the sentence answered
    bool typed;
    int weight;  // of the typed word (count 1): 47 and more is the end of the queue
    bool shown;
};

class RareRoads : public ::testing::TestWithParam<RareCase> {};

TEST_P(RareRoads, SameRowAsTheReferenceStatements) {
    const RareCase& c = GetParam();
    test::TempDir dir;
    const DateTime now = At(2024, 3, 10, 12, 0, 0);
    {
        Database db;
        ASSERT_TRUE(db.Open(dir.File("seed.db")).ok());
        db.Exec("INSERT INTO sounds (isigns, icodes, sfname) values(1, 0, 'a.mp3');");
        db.Exec("INSERT INTO sounds (isigns, icodes, sfname) values(1, 0, 'b.mp3');");
        for (const auto& r : c.rows)
            db.Exec(Sql("INSERT INTO items2 (isound, irange, irng_2, iaansw, igansw, dtansw, dtansn, iplace, stract, "
                        "strind) values(%i, 1, 10, 1, %i, '%q', '%q', %i, 'a b', '0');",
                        r[0], r[1], DateText(now - 2.0).c_str(),
                        r[3] == 2 ? "45000" : DateText(r[3] ? now - 1.0 : now + 1.0).c_str(), r[2]));
    }
    std::filesystem::copy_file(dir.File("seed.db"), dir.File("fast.db"));
    std::filesystem::copy_file(dir.File("seed.db"), dir.File("reference.db"));
    World fast(dir.File("fast.db"), World::Kind::Fast, now);
    World reference(dir.File("reference.db"), World::Kind::Reference, now);
    SentenceBoard board;
    board.WordTiles.resize(2);
    board.WordWeightPairs = {1, c.weight, 0, 0};
    board.WordCounts = {1, 0, 0, 0};
    if (c.typed) board.TypedWordTiles = {0};
    std::vector<std::string> results;
    std::vector<std::string> referenceRows;
    for (World* w : {&fast, &reference}) {
        w->Start();
        // The row a reference query chose is in the row store right after the rescheduling.
        Transaction undone(w->db);
        ASSERT_TRUE(undone.Begin().ok());
        ScheduleInput in;
        in.itemId = c.current;
        in.itemCount = w->state.ItemCount;
        in.now = now;
        in.nowText = DateText(now);
        in.success = !c.shown;
        SentenceBoard copy = board;
        StdRandom rng(3);
        RescheduleAnsweredItem(w->db, w->row, rng, in, copy, nullptr);
        referenceRows.push_back(RowStore(w->row));
        undone.Rollback();

        w->state.CurrentItemId = c.current;
        results.push_back(Result(w->Step(board, c.shown)));
    }
    EXPECT_EQ(referenceRows[0], referenceRows[1]);
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(Labels(fast.state), Labels(reference.state));
    EXPECT_EQ(Tables(fast.db), Tables(reference.db));
}

INSTANTIATE_TEST_SUITE_P(
    Ties, RareRoads,
    ::testing::Values(
        // Sentence 1 is the first of its module: the third reference query decides, among rows
        // of the greatest place with different good-answer counts and ids.
        RareCase{"ThirdQueryTiesAcrossCounts", {{1, 2, 5, 1}, {2, 1, 50, 0}, {2, 0, 50, 0}, {1, 0, 50, 1}, {2, 2, 50, 0},
                                                {2, 9, 60, 0}, {1, 1, 49, 0}},
                 1, false, 0, false},
        RareCase{"ThirdQueryTiesWithinACount", {{1, 3, 5, 1}, {2, 1, 50, 0}, {2, 1, 50, 0}, {1, 1, 50, 0}, {2, 2, 40, 0},
                                                {2, 4, 70, 0}},
                 1, false, 0, false},
        RareCase{"FirstQueryAcrossCounts", {{1, 7, 5, 0}, {2, 4, 50, 0}, {1, 5, 3, 0}, {1, 6, 9, 0}, {1, 2, 50, 1}},
                 5, false, 0, false},
        RareCase{"SecondQuery", {{1, 3, 5, 0}, {1, 2, 8, 0}, {1, 3, 9, 0}, {1, 3, 50, 1}}, 4, false, 0, false},
        // Typed words: the place at the end of the queue (walked from the end) and in the middle,
        // with equal places around it.
        RareCase{"TypedAtTheEndOfTheQueue", {{1, 6, 5, 1}, {1, 6, 9, 0}, {2, 6, 9, 0}, {1, 6, 9, 0}, {1, 6, 2, 0}},
                 1, true, 60, false},
        RareCase{"TypedInTheMiddle", {{1, 6, 5, 1}, {1, 6, 9, 0}, {2, 6, 9, 0}, {1, 6, 9, 0}, {1, 6, 2, 0},
                                      {1, 6, 9, 0}, {2, 6, 9, 0}, {1, 6, 1, 0}, {1, 6, 9, 0}},
                 1, true, 40, false},
        RareCase{"FailureAmongEqualPlaces", {{1, 6, 5, 1}, {1, 6, 9, 0}, {2, 6, 9, 0}, {1, 6, 9, 0}, {1, 6, 2, 0},
                                             {1, 6, 9, 0}, {2, 6, 9, 0}, {1, 6, 1, 0}},
                 1, false, 0, true},
        // Only the sentence answered is due, then nothing: the choice of the next one.
        RareCase{"NothingElseDue", {{1, 2, 5, 1}, {2, 2, 9, 0}, {1, 2, 9, 0}}, 1, false, 0, true},
        RareCase{"DueTimeANumber", {{1, 2, 5, 1}, {2, 2, 9, 2}, {1, 2, 3, 0}}, 1, false, 0, true}),
    [](const ::testing::TestParamInfo<RareCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lq
