#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "core/AppContext.h"
#include "core/AppState.h"
#include "core/CurrentRow.h"
#include "core/LearningStep.h"
#include "core/Random.h"
#include "core/SentenceBoard.h"
#include "core/Settings.h"
#include "tests/core/CoreTestDb.h"
#include "tests/support/RawConnection.h"

namespace lq {
namespace {

using test::CoreTestDb;
using test::FixedClock;
using test::ItemSpec;

// Records what the step asked of the window and the sound thread, and when.
class RecordingHooks : public LearningStepHooks {
public:
    explicit RecordingHooks(const LearnState& state, CoreTestDb& db) : state_(state), db_(db) {}

    void ShowAnswerCount(int n) override {
        calls.push_back("ShowAnswerCount");
        answerCount = n;
    }
    void StopSound() override { calls.push_back("StopSound"); }
    void QueueAnsweredWord(const std::string& word) override {
        calls.push_back("QueueAnsweredWord");
        queued.push_back(word);
    }
    void PrepareCurrentItem() override {
        calls.push_back("PrepareCurrentItem");
        preparedId = state_.CurrentItemId;
        historyRowsWhenPrepared = db_.Count("SELECT count(*) FROM answcn;");
        scoreWhenPrepared = state_.Score;
    }
    void ShowScoreLabels(const ScoreLabelTexts& t) override {
        calls.push_back("ShowScoreLabels");
        labels = t;
    }
    void ResetLastPlayTick() override { calls.push_back("ResetLastPlayTick"); }
    void DisableNext() override { calls.push_back("DisableNext"); }
    void SwapSoundBuffers() override {
        calls.push_back("SwapSoundBuffers");
        nextIdAtSwap = state_.NextItemId;
        solvedAtSwap = state_.SentenceSolved;
    }
    void LoadPictures() override { calls.push_back("LoadPictures"); }
    void ShowStepTime(const std::string& caption) override {
        calls.push_back("ShowStepTime");
        this->caption = caption;
    }

    std::vector<std::string> calls;
    std::vector<std::string> queued;
    int answerCount = 0;
    int preparedId = 0;
    int historyRowsWhenPrepared = -1;
    float scoreWhenPrepared = -1;
    int nextIdAtSwap = 0;
    bool solvedAtSwap = true;
    ScoreLabelTexts labels;
    std::string caption;

private:
    const LearnState& state_;
    CoreTestDb& db_;
};

class LearningStepTest : public ::testing::Test {
protected:
    LearningStepTest() {
        ctx.env = &env;
        ctx.state = &state;
        ctx.settings = &settings;
        ctx.db = &t.db;
        ctx.row = &t.row;
        ctx.clock = &clock;
        ctx.rng = &rng;
        settings.InputAfter = 12;
        settings.InputAfterFloat = 12.0f;
        module = t.AddModule(true);
    }

    int Add(ItemSpec s) {
        s.isound = module;
        return t.AddItem(s);
    }

    // `count` sentences at places 10, 20, ...; returns their ids.
    std::vector<int> AddQueue(int count, ItemSpec s = {}) {
        std::vector<int> ids;
        for (int i = 0; i < count; ++i) {
            s.iplace = 10 * (i + 1);
            ids.push_back(Add(s));
        }
        return ids;
    }

    ScheduleResult Step(int current, bool shown = false) {
        state.CurrentItemId = current;
        state.NextItemId = current;
        state.ItemCount = t.Count("SELECT count(*) FROM items2;");
        settings.ScheduleExponent = 2.0f;
        state.SentenceSolved = true;
        state.AnswerShown = shown;
        LearningStep step(ctx, board, hooks, [this] { return tick += 7; });
        return step.Run();
    }

    // Tiles from the sentence's words (tile 0 = the last word), flags/weights, counts, typed tiles.
    void Typed(std::vector<std::string> tiles, std::vector<int> pairs, std::vector<int> counts,
               std::vector<int> typedTiles) {
        board.WordTiles.clear();
        for (auto& text : tiles) {
            WordTile tile;
            tile.Text = text;
            board.WordTiles.push_back(tile);
        }
        board.WordWeightPairs = std::move(pairs);
        board.WordCounts = std::move(counts);
        board.TypedWordTiles = std::move(typedTiles);
    }

    CoreTestDb t;
    FixedClock clock{test::At(2024, 3, 10, 12, 0, 0)};
    ScriptedRandom rng;
    ProgramEnv env;
    LearnState state;
    CommonSettings settings;
    SentenceBoard board;
    AppContext ctx;
    RecordingHooks hooks{state, t};
    uint32_t tick = 1000;
    int module = 0;
};

// ---- Without typed words -------------------------------------------------------------------

struct UntypedCase {
    const char* name;
    int irange, igansw, irng_2, iaansw;
    bool shown;
    int newRange, newGood, newTyped, newAnswers;
    const char* due;
};

TEST_F(LearningStepTest, UntypedGradingTable) {
    const UntypedCase cases[] = {
        {"new sentence solved", 0, 0, 0, 0, false, 1, 1, 10, 1, "2024-03-11 00:00:00"},
        {"level 1 solved", 1, 1, 10, 1, false, 2, 2, 10, 2, "2024-03-11 12:00:00"},
        {"level 2 solved", 2, 2, 10, 2, false, 3, 3, 10, 3, "2024-03-12 12:00:00"},
        {"level 3 solved", 3, 3, 10, 3, false, 4, 4, 10, 4, "2024-03-14 12:00:00"},
        {"level 4 solved", 4, 4, 10, 7, false, 5, 5, 10, 8, "2024-03-18 12:00:00"},
        {"level 5 stays 5", 5, 9, 10, 20, false, 5, 10, 10, 21, "2024-03-18 12:00:00"},
        {"shown at level 1", 1, 3, 10, 4, true, 0, 0, 10, 4, "2024-03-10 12:28:48"},
        {"shown at level 4", 4, 7, 383, 9, true, 2, 0, 383, 9, "2024-03-10 12:28:48"},
        {"shown at level 0", 0, 0, 0, 0, true, 0, 0, 0, 0, "2024-03-10 12:28:48"},
    };
    for (const UntypedCase& c : cases) {
        SCOPED_TRACE(c.name);
        t.Exec("DELETE FROM items2;");
        ItemSpec s;
        s.irange = c.irange;
        s.igansw = c.igansw;
        s.irng_2 = c.irng_2;
        s.iaansw = c.iaansw;
        s.iplace = 40;
        s.strind = "1 5 0 2 x";
        const int id = Add(s);
        Step(id, c.shown);
        const CurrentRow r = t.Item(id);
        EXPECT_EQ(r.irange, c.newRange);
        EXPECT_EQ(r.igansw, c.newGood);
        EXPECT_EQ(r.irng_2, c.newTyped);
        EXPECT_EQ(r.iaansw, c.newAnswers);
        EXPECT_EQ(r.dtansn, c.due);
        EXPECT_EQ(r.dtansw, "2024-03-10 12:00:00");
        EXPECT_EQ(r.iplace, 41);           // alone in the table: after its own place
        EXPECT_EQ(r.strind, "1 5 0 2 x");  // no typed words: the weight list is left alone
    }
    EXPECT_TRUE(hooks.queued.empty());
}

TEST_F(LearningStepTest, SuccessPlacesBeforeAnEarlierSentenceOfTheModuleWithMoreGoodAnswers) {
    ItemSpec a;
    a.igansw = 5;
    a.iplace = 100;
    Add(a);
    ItemSpec b;
    b.iplace = 50;
    const int current = Add(b);
    EXPECT_EQ(Step(current).place, 99);  // its place - 2, stored + 1
    EXPECT_EQ(t.Item(current).iplace, 99);
}

TEST_F(LearningStepTest, SuccessPlacesAtTheNearestEarlierSentenceWithAsManyGoodAnswers) {
    ItemSpec a;
    a.igansw = 1;
    a.iplace = 100;
    Add(a);
    a.iplace = 200;
    Add(a);  // nearer
    ItemSpec b;
    b.iplace = 5;
    const int current = Add(b);
    EXPECT_EQ(Step(current).place, 200);  // its place - 1, stored + 1
}

// The first two reference rows come from the sentence's own module only: an earlier sentence of
// another module that would match better is passed over.
TEST_F(LearningStepTest, SuccessReferenceRowsOfTheSameModuleOnly) {
    const int other = t.AddModule(true);
    struct Case {
        const char* what;
        int otherGood, otherPlace;  // the competitor, another module's, added first (smallest id)
        int ownGood, ownPlace;      // the current sentence's module, added second
        int between;                // a second competitor after the own row (0: none)
        int place;                  // stored place
    } cases[] = {
        // More good answers: the earliest such row would be the competitor.
        {"more good answers", 5, 700, 5, 100, 0, 99},
        // As many good answers: the nearest earlier row would be the competitor added in between.
        {"as many good answers", 0, 0, 1, 100, 400, 100},
    };
    auto add = [&](int isound, int igansw, int iplace) {
        ItemSpec s;
        s.isound = isound;
        s.igansw = igansw;
        s.iplace = iplace;
        return t.AddItem(s);
    };
    for (const Case& c : cases) {
        t.Exec("DELETE FROM items2;");
        add(other, c.otherGood, c.otherPlace);
        add(module, c.ownGood, c.ownPlace);
        if (c.between) add(other, c.ownGood, c.between);
        const int current = add(module, 0, 5);
        EXPECT_EQ(Step(current).place, c.place) << c.what;
        EXPECT_EQ(t.Item(current).iplace, c.place) << c.what;
    }
}

TEST_F(LearningStepTest, SuccessOtherwisePlacesAfterTheLastQueuedSentenceWithNoMoreGoodAnswers) {
    const int other = t.AddModule(true);
    ItemSpec a;
    a.isound = other;
    a.iplace = 300;
    t.AddItem(a);  // another module, igansw 0
    ItemSpec b;
    b.iplace = 10;
    const int current = Add(b);
    ItemSpec later;
    later.igansw = 5;
    later.iplace = 500;
    Add(later);  // more answers, but after the current one
    EXPECT_EQ(Step(current).place, 301);
}

TEST_F(LearningStepTest, FailurePlacesAfterTheFifthToSeventhSentenceOfTheQueue) {
    const std::vector<int> ids = AddQueue(10, [] {
        ItemSpec s;
        s.irange = 1;
        s.igansw = 3;
        return s;
    }());
    rng.Push(1);  // RandomBelow(3) = 1: offset 5, the 6th row
    Step(ids[0], true);
    EXPECT_EQ(t.Item(ids[0]).iplace, 61);
    EXPECT_EQ(rng.DrawCount(), 1);
}

TEST_F(LearningStepTest, FailureWithFewerThanFiveSentencesStaysAfterItsOwnPlace) {
    const std::vector<int> ids = AddQueue(3);
    rng.Push(0);
    Step(ids[1], true);
    EXPECT_EQ(t.Item(ids[1]).iplace, 21);
}

TEST_F(LearningStepTest, SuccessfulAnswersAreCountedOnce) {
    ItemSpec s;
    s.iaansw = 7;
    const int id = Add(s);
    Step(id);
    EXPECT_EQ(t.Item(id).iaansw, 8);
}

// ---- With typed words ----------------------------------------------------------------------

TEST_F(LearningStepTest, TypedSuccessWithAnUntypedZeroWeightGivesScoreZero) {
    ItemSpec s;
    s.irange = 5;
    s.igansw = 12;
    s.irng_2 = 300;
    s.iaansw = 4;
    const std::vector<int> ids = AddQueue(3, s);
    Typed({"station.", "The"}, {1, 0, 1, 3}, {5, 0, 5, 0}, {1});
    Step(ids[2]);
    const CurrentRow r = t.Item(ids[2]);
    EXPECT_EQ(r.irng_2, 0);
    EXPECT_EQ(r.dtansn, "2024-03-10 14:24:00");  // 0.1 day
    EXPECT_EQ(r.iplace, 21);                     // position 1, no random part
    EXPECT_EQ(r.irange, 5);
    EXPECT_EQ(r.igansw, 12);
    EXPECT_EQ(r.iaansw, 5);
    EXPECT_EQ(r.strind, "1 0 1 4 ");
    EXPECT_EQ(rng.DrawCount(), 0);
    EXPECT_EQ(hooks.queued, std::vector<std::string>{"the"});
}

TEST_F(LearningStepTest, TypedSuccessInAOneSentenceTableTakesPositionZero) {
    ItemSpec s;
    s.igansw = 12;
    s.iplace = 7;
    const int id = Add(s);
    Typed({"x"}, {1, 0}, {0, 0}, {0});
    Step(id);
    EXPECT_EQ(t.Item(id).iplace, 8);
}

TEST_F(LearningStepTest, TypedSuccessWithEveryWordWellKnownGoesToTheEndOfTheQueue) {
    ItemSpec s;
    s.igansw = 12;
    const std::vector<int> ids = AddQueue(10, s);
    Typed({"Station.", "at", "Don't"}, {1, 99, 0, 0, 1, 100}, {2, 0, 0, 0, 2, 0}, {0, 2});
    Step(ids[0]);
    const CurrentRow r = t.Item(ids[0]);
    EXPECT_EQ(r.irng_2, 900);
    EXPECT_EQ(r.dtansn, "2024-04-02 00:00:00");  // 22.5 days
    EXPECT_EQ(r.iplace, 101);
    EXPECT_EQ(r.strind, "1 100 0 0 1 101 ");
    EXPECT_EQ(hooks.queued, (std::vector<std::string>{"station", "don*t"}));
}

TEST_F(LearningStepTest, TypedSuccessScoreFollowsTheWeakestWord) {
    ItemSpec s;
    s.igansw = 12;
    const std::vector<int> ids = AddQueue(10, s);
    Typed({"dogs", "cats"}, {1, 9, 0, 4}, {2, 0, 7, 0}, {0});  // 10 x 2 after the raise
    Step(ids[0]);
    const CurrentRow r = t.Item(ids[0]);
    EXPECT_EQ(r.irng_2, 383);                    // 382.98 rounded
    EXPECT_EQ(r.dtansn, "2024-03-20 01:47:14");  // 9.5745 days
    EXPECT_EQ(r.iplace, 31);                     // 10^(382.98/900) = 2.66: the third row
}

TEST_F(LearningStepTest, TypedFailureLowersTheTypedWeightsAndKeepsTheRest) {
    ItemSpec s;
    s.irange = 3;
    s.igansw = 14;
    s.irng_2 = 200;
    s.iaansw = 9;
    s.strind = "1 1 1 3 ";
    const std::vector<int> ids = AddQueue(2, s);
    Typed({"one", "two"}, {1, 1, 1, 3}, {4, 0, 4, 0}, {0, 1});
    rng.Push(0);
    Step(ids[0], true);
    const CurrentRow r = t.Item(ids[0]);
    EXPECT_EQ(r.strind, "1 0 1 1 ");
    EXPECT_EQ(r.irange, 3);
    EXPECT_EQ(r.igansw, 14);
    EXPECT_EQ(r.irng_2, 200);
    EXPECT_EQ(r.iaansw, 9);
    EXPECT_EQ(r.dtansn, "2024-03-10 12:28:48");
    EXPECT_EQ(r.iplace, 11);
    EXPECT_TRUE(hooks.queued.empty());
}

TEST_F(LearningStepTest, LongSentenceKeepsTwoNumbersForEveryTile) {
    ItemSpec s;
    s.igansw = 12;
    const int id = Add(s);
    std::vector<std::string> tiles(60, "word");
    std::vector<int> pairs(100, 0);  // what a table for 50 tiles would hold
    Typed(tiles, pairs, std::vector<int>(100, 0), {55});
    Step(id);
    std::istringstream in(t.Item(id).strind);
    std::vector<int> numbers;
    for (int v; in >> v;) numbers.push_back(v);
    ASSERT_EQ(numbers.size(), 120u);
    EXPECT_EQ(numbers[111], 1);  // tile 55's weight
}

TEST_F(LearningStepTest, ZeroInputAfterStillGivesAFinitePlaceAndScore) {
    settings.InputAfter = 0;
    settings.InputAfterFloat = 0.0f;
    ItemSpec s;
    s.igansw = 12;
    const std::vector<int> ids = AddQueue(5, s);
    Typed({"a", "b"}, {1, 20, 0, 0}, {20, 0, 0, 0}, {0});
    rng.Push(2);
    const ScheduleResult r = Step(ids[0]);
    EXPECT_GE(r.place, 11);
    EXPECT_LE(r.place, 51);
    EXPECT_EQ(state.Score, 0.0f);
    CurrentRow h;
    t.db.Query("SELECT * FROM answcn;", h);
    EXPECT_EQ(h.glrang, 0.0f);
}

// ---- The step around the schedule ---------------------------------------------------------

TEST_F(LearningStepTest, StepRunsInOrderAndMovesToThePreselectedSentence) {
    env.DebugMode = true;
    state.DebugLines = {"a", "b", "c", "d"};
    ItemSpec s;
    s.dtansn = "2024-03-10 11:00:00";
    s.iplace = 1;
    const int a = Add(s);
    s.iplace = 2;
    const int b = Add(s);
    s.iplace = 3;
    const int c = Add(s);
    state.ItemCount = 3;
    state.CurrentItemId = a;
    state.NextItemId = b;
    state.SentenceSolved = true;
    state.AnswerShown = false;
    Typed({"x"}, {1, 0}, {1, 0}, {0});
    board.TypedWordTiles.clear();
    LearningStep step(ctx, board, hooks, [this] { return tick += 7; });
    step.Run();

    EXPECT_EQ(hooks.calls, (std::vector<std::string>{"ShowAnswerCount", "StopSound", "PrepareCurrentItem",
                                                     "ShowScoreLabels", "ResetLastPlayTick", "DisableNext",
                                                     "SwapSoundBuffers", "LoadPictures", "ShowStepTime"}));
    EXPECT_EQ(state.CurrentItemId, b);
    EXPECT_EQ(hooks.preparedId, b);
    EXPECT_EQ(state.NextItemId, c);  // a is no longer due
    EXPECT_EQ(hooks.nextIdAtSwap, c);
    EXPECT_FALSE(hooks.solvedAtSwap);
    EXPECT_FALSE(state.SentenceSolved);
    EXPECT_FALSE(state.AnswerShown);
    EXPECT_EQ(hooks.answerCount, 1);
    EXPECT_EQ(state.RunAnswerCount, 1);
    EXPECT_EQ(state.NowText, "2024-03-10 12:00:00");
    EXPECT_EQ(state.LastNextTime, clock.Now());

    // Score: one good answer of 3 x 12 possible (0.926) + typed-word score 10 / 9 / 3 / 3 (0.123).
    EXPECT_NEAR(state.Score, 1.04938f, 1e-4);
    EXPECT_EQ(hooks.scoreWhenPrepared, state.Score);
    EXPECT_EQ(hooks.historyRowsWhenPrepared, 0);  // the history row comes after the layout
    EXPECT_EQ(hooks.labels.score, "1");
    EXPECT_EQ(hooks.labels.score2, "0494");
    EXPECT_EQ(hooks.labels.daysLeft, "-1.00");
    EXPECT_EQ(hooks.caption, "7.00");

    EXPECT_EQ(state.AnswerHistoryCount, 1);
    CurrentRow h;
    t.db.Query("SELECT * FROM answcn;", h);
    EXPECT_EQ(h.dtdate, "2024-03-10 12:00:00");
    EXPECT_EQ(h.isentn, 3);
    EXPECT_EQ(t.Count("SELECT count(*) FROM answcn WHERE glrang='1.04938' AND glansn='0.00000';"), 1);

    EXPECT_EQ(state.DebugLines, (std::array<std::string, 4>{"b", "c", "4 10", "d"}));
}

TEST_F(LearningStepTest, FailureAddsNoDebugLine) {
    env.DebugMode = true;
    const std::vector<int> ids = AddQueue(2);
    state.DebugLines = {"a", "b", "c", "d"};
    rng.Push(0);
    Step(ids[0], true);
    EXPECT_EQ(state.DebugLines, (std::array<std::string, 4>{"a", "b", "c", "d"}));
    EXPECT_EQ(hooks.caption, "7.00");
}

TEST_F(LearningStepTest, OutsideDebugModeNoLinesAndNoCaption) {
    const std::vector<int> ids = AddQueue(2);
    state.DebugLines = {"a", "b", "c", "d"};
    Step(ids[0]);
    EXPECT_EQ(state.DebugLines, (std::array<std::string, 4>{"a", "b", "c", "d"}));
    EXPECT_TRUE(hooks.caption.empty());
    EXPECT_EQ(hooks.calls.back(), "LoadPictures");
}

// The step's statements are committed together when the step ends; a transaction the caller
// holds is joined and left open, and rolling it back undoes the whole step.
TEST_F(LearningStepTest, WritesOfAStepAreCommittedTogetherOrJoinTheCallersTransaction) {
    const auto ids = AddQueue(6);
    Step(ids[0]);
    EXPECT_TRUE(sqlite3_get_autocommit(lq::test::RawHandle(t.db)));
    EXPECT_EQ(t.Count("SELECT count(*) FROM answcn;"), 1);
    EXPECT_EQ(t.Item(ids[0]).iaansw, 1);

    t.Exec("BEGIN;");
    Step(ids[1]);
    EXPECT_FALSE(sqlite3_get_autocommit(lq::test::RawHandle(t.db)));
    t.Exec("ROLLBACK;");
    EXPECT_EQ(t.Count("SELECT count(*) FROM answcn;"), 1);
    EXPECT_EQ(t.Item(ids[1]).iaansw, 0);
}

}  // namespace
}  // namespace lq
