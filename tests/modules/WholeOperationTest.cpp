// The operations of many rows (a module's import, an older version's data) against failures at
// each of their writes: a refused statement, a file that cannot grow, and the engine rolling the
// whole transaction back by itself, also when another thread's statement on the shared
// connection made it do so. Afterwards the tables are all as before, the learner is told once,
// and no transaction stays open.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "modules/ImportModule.h"
#include "modules/OldData.h"
#include "modules/OldDataImport.h"
#include "tests/modules/ModuleTestSupport.h"
#include "tests/modules/OldDataWriter.h"
#include "tests/support/RawConnection.h"
#include "tests/support/RecordingPrompter.h"

namespace lq {
namespace {

using Row = std::vector<std::string>;

// A progress window that runs `atCall` when it is told of the given call (counted from 0).
class SteppingProgress final : public Progress {
public:
    void ShowProgress(const std::string&, int, int) override {
        if (calls++ == when && atCall) atCall();
    }
    void HideProgress() override {}
    int calls = 0;
    int when = -1;
    std::function<void()> atCall;
};

// What the sound thread does on a failed word count: its statement, on its own thread, makes the
// engine roll back the transaction the connection is in (the trigger of kLoseWordCounts).
constexpr const char* kLoseWordCounts =
    "CREATE TRIGGER lose BEFORE UPDATE OF ianswr ON wrdstt BEGIN SELECT RAISE(ROLLBACK, 'count lost'); END;";
void FailAWordCountOnAnotherThread(sqlite3* db) {
    std::thread other([db] { sqlite3_exec(db, "UPDATE wrdstt SET ianswr=ianswr+1;", nullptr, nullptr, nullptr); });
    other.join();
}

struct FailureCase {
    const char* name;
    const char* setup;      // on the connection before the operation
    int otherThreadAt;      // progress call at which another thread's statement ends the transaction
    const char* message;    // part of what the learner is told
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class WholeOperation : public ::testing::TestWithParam<FailureCase> {
protected:
    void SetUp() override {
        Exec("INSERT INTO sounds (isigns, icodes, sfname) values(1, 0, 'old.mp3');");
        Exec("INSERT INTO items2 (isound, iplace, stract) values(1, 100, 'kept');");
        Exec("INSERT INTO wrdstt (icount, ianswr, istate, twordd) values(1, 1, 0, 'kept');");
        Exec("INSERT INTO answcn (glrang, isentn, dtdate, glansn) values('1.00000', 1, '2020-01-01 00:00:00', "
             "'0.00000');");
        Exec(kLoseWordCounts);
        if (GetParam().setup[0]) Exec(GetParam().setup);
        progress.when = GetParam().otherThreadAt;
        progress.atCall = [this] { FailAWordCountOnAnotherThread(lq::test::RawHandle(folder.Db())); };
        before = Tables();
    }
    void Exec(const std::string& sql) { ASSERT_TRUE(folder.Db().Exec(sql).ok()) << sql; }
    std::vector<std::vector<Row>> Tables() const {
        return {folder.Rows("sounds"), folder.Rows("items2"), folder.Rows("wrdstt"), folder.Rows("answcn")};
    }
    void ExpectAllAsBeforeAndToldOnce() {
        EXPECT_EQ(Tables(), before);
        EXPECT_EQ(sqlite3_get_autocommit(lq::test::RawHandle(folder.Db())), 1) << "a transaction was left open";
        ASSERT_EQ(prompter.messages.size(), 1u);
        EXPECT_TRUE(prompter.messages[0].text.contains(QString::fromLatin1(GetParam().message)))
            << prompter.messages[0].text.toStdString();
    }

    test::ProgramFolder folder;
    test::RecordingPrompter prompter;
    SteppingProgress progress;
    std::vector<std::vector<Row>> before;
};

// ---- a module's import ------------------------------------------------------------------------

class ModuleImportFailing : public WholeOperation {};

TEST_P(ModuleImportFailing, StoresNothingOfTheModule) {
    folder.AddFixtureModule("unit07");
    ModuleImporter importer(folder.Db(), folder.Dir());
    importer.SetProgress(&progress);
    int itemCount = 1;
    EXPECT_EQ(importer.Import("unit07.txt", itemCount), kImportFailed);
    EXPECT_EQ(itemCount, 1);
    ExpectAllAsBeforeAndToldOnce();
}

INSTANTIATE_TEST_SUITE_P(
    Points, ModuleImportFailing,
    ::testing::Values(
        FailureCase{"ModuleRowRefused",
                    "CREATE TRIGGER t BEFORE INSERT ON sounds BEGIN SELECT RAISE(ABORT, 'refused'); END;", -1,
                    "refused"},
        FailureCase{"ModuleRowRolledBack",
                    "CREATE TRIGGER t AFTER INSERT ON sounds BEGIN SELECT RAISE(ROLLBACK, 'rolled back'); END;", -1,
                    "rolled back"},
        FailureCase{"ModuleCodeRolledBack",
                    "CREATE TRIGGER t AFTER UPDATE OF icodes ON sounds BEGIN SELECT RAISE(ROLLBACK, 'rolled back'); "
                    "END;",
                    -1, "rolled back"},
        FailureCase{"ThirdSentenceRolledBack",
                    "CREATE TRIGGER t AFTER INSERT ON items2 WHEN (SELECT count(*) FROM items2)=4 BEGIN SELECT "
                    "RAISE(ROLLBACK, 'rolled back'); END;",
                    -1, "rolled back"},
        FailureCase{"SentencesCannotGrow",
                    "CREATE TABLE filler (b); CREATE TRIGGER t AFTER INSERT ON items2 WHEN (SELECT count(*) FROM "
                    "items2)=3 BEGIN INSERT INTO filler VALUES (zeroblob(65536)); END; PRAGMA max_page_count=1;",
                    -1, "full"},
        FailureCase{"EndedByAnotherThreadAfterTheFirstSentence", "", 1, "rolled the transaction back"}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

// ---- an older version's data ------------------------------------------------------------------

// One module of three sentences, three words and three score points.
test::OldDataSet ThreeOfEach() {
    test::OldDataSet s;
    s.modules = {"*+   xxxxxnew.mp3"};
    for (int p = 0; p < 3; ++p) {
        s.items.push_back({"b", "s" + std::to_string(p), "0 1 0 ", "a", "t"});
        s.index.push_back(test::OldRecord(p, 0, static_cast<uint16_t>(p)));
    }
    s.words = {{1, 1, 0, "one"}, {2, 2, 0, "two"}, {3, 3, 0, "three"}};
    s.points = {{1.0f, 3, 1.0f, 1.0f}, {2.0f, 3, 2.0f, 1.0f}, {3.0f, 3, 3.0f, 1.0f}};
    return s;
}

class OldDataImportFailing : public WholeOperation {};

TEST_P(OldDataImportFailing, StoresNothingOfTheOldData) {
    folder.Write("new.mp3", "sound");
    ThreeOfEach().Write(folder.Dir());
    EXPECT_FALSE(RunOldDataImport(folder.Db(), folder.Dir(), 12, progress, prompter));
    ExpectAllAsBeforeAndToldOnce();
}

// The progress calls: "Reading data", "Sorting", three sentences, three words, three points.
INSTANTIATE_TEST_SUITE_P(
    Points, OldDataImportFailing,
    ::testing::Values(
        FailureCase{"SecondSentenceRolledBack",
                    "CREATE TRIGGER t AFTER INSERT ON items2 WHEN new.stract='s1' BEGIN SELECT RAISE(ROLLBACK, "
                    "'rolled back'); END;",
                    -1, "rolled back"},
        FailureCase{"SecondWordRolledBack",
                    "CREATE TRIGGER t AFTER INSERT ON wrdstt WHEN new.twordd='two' BEGIN SELECT RAISE(ROLLBACK, "
                    "'rolled back'); END;",
                    -1, "rolled back"},
        FailureCase{"LastPointRefused",
                    "CREATE TRIGGER t BEFORE INSERT ON answcn WHEN new.glrang='3.00000' BEGIN SELECT RAISE(ABORT, "
                    "'refused'); END;",
                    -1, "refused"},
        FailureCase{"WordsCannotGrow",
                    "CREATE TABLE filler (b); CREATE TRIGGER t AFTER INSERT ON wrdstt BEGIN INSERT INTO filler "
                    "VALUES (zeroblob(65536)); END; PRAGMA max_page_count=1;",
                    -1, "full"},
        FailureCase{"EndedByAnotherThreadAmongTheSentences", "", 3, "rolled the transaction back"},
        FailureCase{"EndedByAnotherThreadAmongTheWords", "", 6, "rolled the transaction back"},
        FailureCase{"EndedByAnotherThreadAmongThePoints", "", 9, "rolled the transaction back"}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lq
