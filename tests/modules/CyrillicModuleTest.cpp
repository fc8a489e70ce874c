// A module whose name has Cyrillic letters, by each road into the database ("-additems", the old
// data; the chooser's road is in ModulePanelTest): its name is stored once, in cp1251, its files
// are found in Data/ by their UTF-8 names, it counts as added whichever encoding asks, and the
// learner hears its first sentence and sees its picture.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "modules/ImportModule.h"
#include "modules/ModuleFolder.h"
#include "modules/ModuleManager.h"
#include "modules/OldDataImport.h"
#include "platform/Cp1251.h"
#include "session/ImportRoad.h"
#include "tests/modules/ModuleTestSupport.h"
#include "tests/modules/OldDataWriter.h"
#include "tests/support/RecordingPrompter.h"

namespace lq {
namespace {

using test::Cp;
using Names = std::vector<std::string>;

class CyrillicModuleTest : public ::testing::Test {
protected:
    Names StoredNames() {
        Names names;
        folder.Db().Query("SELECT sfname FROM sounds ORDER BY ididnt;",
                          [&names](int, char** v, char**) { names.emplace_back(v[0] ? v[0] : "<NULL>"); });
        return names;
    }
    Names Listed() { return ListModules(folder.Dir() + "/Data", folder.Db(), false).lines; }
    // The first sentence of the unit07 copy: a spoken second and its one picture.
    void ExpectHeardAndSeen() {
        const test::FirstSentence first = test::PlayFirstSentence(folder);
        EXPECT_GT(first.waveBytes, 10000u);
        EXPECT_GT(first.durationMs, 1000.0f);
        EXPECT_EQ(first.pictures, 1);
    }
    // Both encodings of the sentence file's name find the module stored.
    void ExpectAddedInBothEncodings(const char* utf8TextName) {
        EXPECT_EQ(test::ValueOrNothing(IsModuleAdded(folder.Db(), utf8TextName)), std::optional<bool>(true));
        EXPECT_EQ(test::ValueOrNothing(IsModuleAdded(folder.Db(), Cp(utf8TextName))), std::optional<bool>(true));
    }

    test::ProgramFolder folder;
    test::RecordingPrompter prompter;
    test::RecordingProgress progress;
};

TEST_F(CyrillicModuleTest, ByTheCommandLine) {
    folder.AddFixtureModule("урок2");
    EXPECT_EQ(Listed(), Names{"урок2.txt"});
    EXPECT_EQ(RunImportRoad(folder.Dir(), "урок2.txt"), kImportDone);
    EXPECT_EQ(StoredNames(), Names{Cp("урок2.mp3")});
    EXPECT_EQ(folder.Count("items2"), 3);
    ExpectHeardAndSeen();

    ExpectAddedInBothEncodings("урок2.txt");
    EXPECT_TRUE(Listed().empty());
    EXPECT_EQ(RunImportRoad(folder.Dir(), "урок2.txt"), kImportAlreadyAdded);
    EXPECT_EQ(RunImportRoad(folder.Dir(), Cp("урок2.txt")), kImportAlreadyAdded);
    EXPECT_EQ(folder.Count("sounds"), 1);
    EXPECT_TRUE(prompter.messages.size() == 2 &&
                prompter.messages[1].text == QStringLiteral("These items are already added!"));
}

TEST_F(CyrillicModuleTest, MissingFilesAreNamedByTheirLetters) {
    folder.AddFixtureModule("урок2", "pos");
    EXPECT_EQ(RunImportRoad(folder.Dir(), "урок2.txt"), kImportFilesMissing);
    EXPECT_EQ(RunImportRoad(folder.Dir(), Cp("урок2.txt")), kImportFilesMissing);
    ASSERT_EQ(prompter.messages.size(), 2u);
    for (const auto& m : prompter.messages)
        EXPECT_EQ(m.text, QStringLiteral("There is no needed files: Data/урок2.mp3 or Data/урок2.pos !"));
}

TEST_F(CyrillicModuleTest, ByTheOldData) {
    folder.AddFixtureModule("урок2");
    folder.AddFixtureModule("урок3");
    test::OldDataSet set;
    set.modules = {"*+   xxxxx" + Cp("урок2.mp3"),  // as the older version wrote it
                   "*+   xxxxxурок3.mp3"};          // a list saved again as UTF-8
    set.items = {{"", "First.", "", "", ""}, {"", "Second.", "", "", ""}};
    OldIndexRecord first = test::OldRecord(1, 0), second = test::OldRecord(0, 1);
    first.isndbg = second.isndbg = 11025;  // unit07's first sentence
    first.isndfn = second.isndfn = 33270;
    set.index = {first, second};
    set.images = {{0, {0, 0, 0, 0, 0}}, {1, {0, 0, 0, 0, 0}}};
    set.withWords = set.withPoints = false;
    set.Write(folder.Dir());

    ASSERT_TRUE(RunOldDataImport(folder.Db(), folder.Dir(), 12, progress, prompter));
    EXPECT_TRUE(prompter.messages.empty());
    EXPECT_EQ(StoredNames(), (Names{Cp("урок2.mp3"), Cp("урок3.mp3")}));
    EXPECT_EQ(folder.Count("items2"), 2);
    ExpectHeardAndSeen();

    ExpectAddedInBothEncodings("урок2.txt");
    ExpectAddedInBothEncodings("урок3.txt");
    EXPECT_TRUE(Listed().empty());
    ASSERT_TRUE(RunOldDataImport(folder.Db(), folder.Dir(), 12, progress, prompter));
    EXPECT_EQ(folder.Count("sounds"), 2);
    EXPECT_EQ(folder.Count("items2"), 2);
}

TEST_F(CyrillicModuleTest, FilesNamedInCp1251) {
    // Unpacked from a Windows archive: the folder's names are the cp1251 bytes.
    folder.AddFixtureModule(Cp("урок4"));
    const Names listed = Listed();
    ASSERT_EQ(listed, Names{Cp("урок4.txt")});
    EXPECT_EQ(FromName(listed[0]), QStringLiteral("урок4.txt"));
    EXPECT_EQ(RunImportRoad(folder.Dir(), listed[0]), kImportDone);
    EXPECT_EQ(StoredNames(), Names{Cp("урок4.mp3")});
    ExpectHeardAndSeen();
    EXPECT_EQ(RunImportRoad(folder.Dir(), "урок4.txt"), kImportAlreadyAdded);
}

TEST_F(CyrillicModuleTest, AnOlderDatabasesUtf8NameKeepsWorking) {
    folder.AddFixtureModule("урок2");
    ASSERT_TRUE(folder.Db().Exec("INSERT INTO sounds (isigns, icodes, sfname) values(1, 10001, 'урок2.mp3');").ok());
    ASSERT_TRUE(folder.Db()
                    .Exec("INSERT INTO items2 (isound, isndbg, isndfn, isigns, stract, ipicnm, ipic_1) "
                          "values(1, 11025, 33270, 1, 'First.', 1, 0);")
                    .ok());
    ExpectHeardAndSeen();
    ExpectAddedInBothEncodings("урок2.txt");
    EXPECT_TRUE(Listed().empty());
    EXPECT_EQ(RunImportRoad(folder.Dir(), "урок2.txt"), kImportAlreadyAdded);
}

TEST(CyrillicModuleNames, ShownByTheirLetters) {
    const struct {
        std::string sfname;
        const char* shown;  // UTF-8
    } rows[] = {
        {Cp("урок2.mp3"), "урок2"},  // as stored now
        {"урок2.mp3", "урок2"},      // as earlier versions stored it
        {"unit07.mp3", "unit07"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(FromName(ModuleShownName(r.sfname)), QString::fromUtf8(r.shown)) << r.shown;
        EXPECT_EQ(FromName(ModuleCellText(ModuleListRow{1, 1, r.sfname}, 0, 1)), QString::fromUtf8(r.shown));
    }
}

}  // namespace
}  // namespace lq
