#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/Progress.h"
#include "core/SqlText.h"
#include "core/Words.h"
#include "platform/Cp1251.h"
#include "tests/core/CoreTestDb.h"
#include "tests/support/RawConnection.h"
#include "tests/support/SqlValues.h"

namespace lq {
namespace {

using test::CoreTestDb;
using test::ItemSpec;

// ---- NormalizeWord ------------------------------------------------------------------------

TEST(NormalizeWord, Table) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"\x93Hello,\x94", "Hello"},          // curly double quotes
        {"(see)", "see"},
        {"!Hey", "!Hey"},                     // '!' only ends a word
        {"3rd", "rd"},
        {"1990s", "s"},
        {"don't", "don*t"},
        {"don\x92t", "don*t"},
        {"well-known", "well*known"},
        {"dogs'", "dogs"},
        {"dogs\x92", "dogs*"},                // the right single quote is in neither end set
        {"--", ""},
        {"123", ""},
        {"\xABHi\xBB", "Hi"},                 // guillemets
        {")a", ")a"},
        {"a)", "a"},
        {"'tis", "tis"},
        {"rock'n'roll", "rock*n*roll"},
        {"-well-", "well"},
        {"\x96x\x96", "x"},                   // en dashes
        {"a.b", "a.b"},
        {"  a; ", "a;"},                      // the blank stops the trailing pass
        {"\x94x", "\x94x"},
        {"[x]", "x"},
        {"`x`", "x"},
        {"", ""},
        {"\xC4\xE0!", "\xC4\xE0"},            // Cyrillic letters stay
    };
    for (const Case& c : cases) EXPECT_EQ(NormalizeWord(c.in), c.out) << c.in;
}

TEST(NormalizeWord, LongWordsAreNormalisedWhole) {
    const std::string word = "(" + std::string(300, 'a') + "'s)";
    EXPECT_EQ(NormalizeWord(word), std::string(300, 'a') + "*s");
}

TEST(NormalizeWord, LowerCasingCommutesAndNoApostropheSurvives) {
    std::mt19937 gen(7);
    std::uniform_int_distribution<int> byte(1, 255);
    std::uniform_int_distribution<int> length(0, 12);
    // Bias towards the bytes that matter.
    const std::string interesting = "'\x92-\x93\x94\x96\xAB\xBB.,!?()[]`\"#$&:; 0123456789AZaz\xC0\xDF\xE0\xFF\xA8\xB8";
    for (int i = 0; i < 20000; ++i) {
        std::string s;
        const int n = length(gen);
        for (int k = 0; k < n; ++k)
            s.push_back(gen() % 2 ? interesting[gen() % interesting.size()] : static_cast<char>(byte(gen)));
        const std::string a = Cp1251Lower(NormalizeWord(s));
        ASSERT_EQ(a, NormalizeWord(Cp1251Lower(s))) << s;
        ASSERT_EQ(a.find('\''), std::string::npos) << s;
        ASSERT_EQ(a.find('\x92'), std::string::npos) << s;
        ASSERT_EQ(a.find('-'), std::string::npos) << s;
    }
}

TEST(StopWords, ComparedInStoredForm) {
    for (const char* w : {"am", "an", "and", "\xE0nd", "at", "ain*t", "aren*t", "couldn*t", "d*you", "didn*t", "i*m",
                          "i*ll", "i*d", "i*ve", "rd", "th", "the", "to", "wasn*t", "y*see"})
        EXPECT_TRUE(IsStopWord(w)) << w;
    EXPECT_TRUE(IsStopWord(StoredWordForm("I'm")));
    EXPECT_TRUE(IsStopWord(StoredWordForm("\xC0nd")));  // Cyrillic capital A
    EXPECT_TRUE(IsStopWord(StoredWordForm("4th")));
    for (const char* w : {"a", "i", "the*", "The", "dogs", ""}) EXPECT_FALSE(IsStopWord(w)) << w;
}

// ---- Lookup and rebuild ------------------------------------------------------------------------

class WordStatsTest : public ::testing::Test {
protected:
    void AddWord(const char* word, int icount, int ianswr, int istate) {
        t.Exec(Sql("INSERT INTO wrdstt (icount, ianswr, istate, twordd) values(%i, %i, %i, '%q');", icount, ianswr,
                   istate, word));
    }
    void AddSentence(const std::string& text) {
        ItemSpec s;
        s.stract = text;
        t.AddItem(s);
    }
    // icount of `word`, or -1 when it is not there.
    int CountOf(const char* word) {
        int istate = 0, icount = -1;
        return LookupWordStat(t.db, t.row, word, istate, icount) ? icount : -1;
    }
    bool HasIndex(const char* name) {
        return t.Count(Sql("SELECT count(*) FROM sqlite_master WHERE type='index' AND name='%q';", name)) == 1;
    }
    void Fixture() {
        AddSentence("I'm at the  station.");  // stored with "#*#"
        AddSentence("Dogs dogs");
        AddSentence("\xE0nd Foo");
        AddSentence("");
        AddWord("station", 99, 7, 1);
        AddWord("gone", 3, 2, 1);
    }

    CoreTestDb t;
};

TEST_F(WordStatsTest, LookupFindsOnlyTheExactWordAndLeavesTheOutputsOtherwise) {
    AddWord("station", 4, 7, 5);
    int istate = -1, icount = -1;
    EXPECT_TRUE(LookupWordStat(t.db, t.row, "station", istate, icount));
    EXPECT_EQ(istate, 5);
    EXPECT_EQ(icount, 4);
    istate = icount = -9;
    EXPECT_FALSE(LookupWordStat(t.db, t.row, "Station", istate, icount));
    EXPECT_FALSE(LookupWordStat(t.db, t.row, "o'brien", istate, icount));  // quoted, no error
    EXPECT_EQ(istate, -9);
    EXPECT_EQ(icount, -9);
    EXPECT_EQ(CountWordStats(t.db, t.row), 1);
}

TEST_F(WordStatsTest, RebuildCountsEveryWordOnceItIsNormalised) {
    Fixture();
    EXPECT_EQ(test::ValueOrNothing(RebuildWordStatistics(t.db, 4)), std::optional<int>(3));
    EXPECT_EQ(CountOf("station"), 1);
    EXPECT_EQ(CountOf("dogs"), 2);
    EXPECT_EQ(CountOf("foo"), 1);
    for (const char* stop : {"i*m", "at", "the", "\xE0nd", ""}) EXPECT_EQ(CountOf(stop), -1) << stop;
    EXPECT_EQ(CountOf("gone"), -1);  // no sentence holds it any more
    // A surviving word keeps its answers and its mark; new words start at 0.
    EXPECT_EQ(t.Count("SELECT count(*) FROM wrdstt WHERE twordd='station' AND ianswr=7 AND istate=1;"), 1);
    EXPECT_EQ(t.Count("SELECT count(*) FROM wrdstt WHERE twordd='dogs' AND ianswr=0 AND istate=0;"), 1);
    EXPECT_TRUE(HasIndex("icount"));
    EXPECT_TRUE(HasIndex("ianswr"));
    EXPECT_TRUE(HasIndex("twordd"));
}

TEST_F(WordStatsTest, RebuildWithoutSentencesEmptiesTheTable) {
    AddWord("station", 99, 7, 1);
    EXPECT_EQ(test::ValueOrNothing(RebuildWordStatistics(t.db, 0)), std::optional<int>(0));
    EXPECT_EQ(CountWordStats(t.db, t.row), 0);
}

TEST_F(WordStatsTest, RebuildWorksWhenTheIndexesAreMissing) {
    Fixture();
    t.Exec("DROP INDEX icount;");
    EXPECT_EQ(test::ValueOrNothing(RebuildWordStatistics(t.db, 4)), std::optional<int>(3));
    EXPECT_TRUE(HasIndex("icount"));
}

class CountingProgress : public Progress {
public:
    void ShowProgress(const std::string& text, int position, int maximum) override {
        caption = text;
        last = position;
        max = maximum;
        ++shown;
        if (throwAt >= 0 && position == throwAt) throw std::runtime_error("stop");
    }
    void HideProgress() override { ++hidden; }
    std::string caption;
    int last = -1, max = -1, shown = 0, hidden = 0, throwAt = -1;
};

TEST_F(WordStatsTest, RebuildReportsProgressPerSentence) {
    Fixture();
    CountingProgress p;
    RebuildWordStatistics(t.db, 4, p);
    EXPECT_EQ(p.caption, "Words statistic");
    EXPECT_EQ(p.shown, 4);
    EXPECT_EQ(p.last, 3);
    EXPECT_EQ(p.max, 4);
    EXPECT_EQ(p.hidden, 1);
}

TEST_F(WordStatsTest, AnInterruptedRebuildLeavesTheOldStatistics) {
    Fixture();
    CountingProgress p;
    p.throwAt = 2;
    EXPECT_THROW(RebuildWordStatistics(t.db, 4, p), std::runtime_error);
    EXPECT_EQ(p.hidden, 1);
    EXPECT_EQ(CountOf("station"), 99);
    EXPECT_EQ(CountOf("gone"), 3);
    EXPECT_EQ(CountOf("dogs"), -1);
    EXPECT_TRUE(HasIndex("icount"));
    EXPECT_TRUE(HasIndex("ianswr"));
    EXPECT_EQ(test::ValueOrNothing(RebuildWordStatistics(t.db, 4)), std::optional<int>(3));  // the connection is usable again
}

// The process dies in the middle of the recount: after reopening the file the old counts are there.
class DieAt : public Progress {
public:
    void ShowProgress(const std::string&, int position, int) override {
        if (position == 2) std::_Exit(3);
    }
    void HideProgress() override {}
};

TEST_F(WordStatsTest, AKilledRebuildLeavesTheOldStatistics) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Fixture();
    const std::string path = t.db.Path();
    t.db.Close();
    EXPECT_EXIT(
        {
            Database db;
            if (!db.Open(path).ok()) std::_Exit(1);
            DieAt die;
            RebuildWordStatistics(db, 4, die);
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(3), "");
    ASSERT_TRUE(t.db.Open(path).ok());
    EXPECT_EQ(CountOf("station"), 99);
    EXPECT_EQ(CountOf("gone"), 3);
    EXPECT_TRUE(HasIndex("icount"));
    EXPECT_TRUE(HasIndex("ianswr"));
}

// ---- A rebuild that fails at one of its writes ---------------------------------------------

struct RebuildFailure {
    const char* name;
    const char* setup;    // on the connection before the rebuild
    int otherThreadAt;    // sentence at which another thread's statement ends the transaction
    const char* message;  // part of the failure handed to the caller
};

void PrintTo(const RebuildFailure& c, std::ostream* os) { *os << c.name; }

class RebuildFailing : public WordStatsTest, public ::testing::WithParamInterface<RebuildFailure> {};

class CallbackProgress : public Progress {
public:
    void ShowProgress(const std::string&, int position, int) override {
        if (position == at && call) call();
    }
    void HideProgress() override {}
    int at = -1;
    std::function<void()> call;
};

TEST_P(RebuildFailing, KeepsTheOldStatisticsWhole) {
    const RebuildFailure& c = GetParam();
    Fixture();
    // The sound thread's word count, failing so that the engine rolls back the open transaction.
    t.Exec("CREATE TRIGGER lose BEFORE UPDATE OF ianswr ON wrdstt BEGIN SELECT RAISE(ROLLBACK, 'count lost'); END;");
    if (c.setup[0]) t.Exec(c.setup);
    std::vector<std::string> before;
    auto rows = [&] {
        std::vector<std::string> out;
        t.db.Query("SELECT * FROM wrdstt ORDER BY ididnt;", [&](int n, char** v, char**) {
            std::string line;
            for (int i = 0; i < n; ++i) line += std::string(v[i] ? v[i] : "NULL") + "|";
            out.push_back(line);
        });
        return out;
    };
    before = rows();
    CallbackProgress progress;
    progress.at = c.otherThreadAt;
    progress.call = [&] {
        std::thread other([&] { sqlite3_exec(lq::test::RawHandle(t.db), "UPDATE wrdstt SET ianswr=ianswr+1;", nullptr, nullptr, nullptr); });
        other.join();
    };
    const SqlValue<int> rebuilt = RebuildWordStatistics(t.db, 4, progress);
    EXPECT_FALSE(rebuilt.ok());
    EXPECT_NE(rebuilt.error.message.find(c.message), std::string::npos) << rebuilt.error.message;
    EXPECT_EQ(rows(), before);
    EXPECT_TRUE(HasIndex("icount"));
    EXPECT_TRUE(HasIndex("ianswr"));
    EXPECT_EQ(sqlite3_get_autocommit(lq::test::RawHandle(t.db)), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Points, RebuildFailing,
    ::testing::Values(
        RebuildFailure{"ResetRolledBack",
                       "CREATE TRIGGER t AFTER UPDATE OF icount ON wrdstt WHEN new.icount=0 AND old.icount!=0 BEGIN "
                       "SELECT RAISE(ROLLBACK, 'rolled back'); END;",
                       -1, "rolled back"},
        RebuildFailure{"CountOfAKnownWordRolledBack",
                       "CREATE TRIGGER t AFTER UPDATE OF icount ON wrdstt WHEN new.icount=1 BEGIN SELECT "
                       "RAISE(ROLLBACK, 'rolled back'); END;",
                       -1, "rolled back"},
        RebuildFailure{"NewWordRolledBack",
                       "CREATE TRIGGER t AFTER INSERT ON wrdstt WHEN new.twordd='foo' BEGIN SELECT RAISE(ROLLBACK, "
                       "'rolled back'); END;",
                       -1, "rolled back"},
        RebuildFailure{"NewWordsCannotGrow",
                       "CREATE TABLE filler (b); CREATE TRIGGER t AFTER INSERT ON wrdstt BEGIN INSERT INTO filler "
                       "VALUES (zeroblob(65536)); END; PRAGMA max_page_count=1;",
                       -1, "full"},
        RebuildFailure{"RemovalOfGoneWordsRolledBack",
                       "CREATE TRIGGER t AFTER DELETE ON wrdstt BEGIN SELECT RAISE(ROLLBACK, 'rolled back'); END;", -1,
                       "rolled back"},
        // The read of the sentences is under way: the engine ends it with the transaction.
        RebuildFailure{"EndedByAnotherThreadWhileCounting", "", 1, "ROLLBACK"}),
    [](const ::testing::TestParamInfo<RebuildFailure>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lq
