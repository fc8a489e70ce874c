// The session's start-up and shut-down through fake views: the order of the steps, what each
// step finds done before it, what is stored in the database and written to the settings file,
// and the one opener that the windowed start-up and the "-additems" road share.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/AppState.h"
#include "core/Settings.h"
#include "modules/ImportModule.h"
#include "platform/IniFile.h"
#include "session/ImportRoad.h"
#include "session/Session.h"
#include "sound/LoadSoundThread.h"
#include "sound/SoundBuilder.h"
#include "sound/WaveImage.h"
#include "tests/support/LessonDb.h"
#include "tests/support/RecordingPrompter.h"
#include "tests/support/TempDir.h"

namespace lq {
namespace {

// Every step of a run, views' and session's, in one list.
std::vector<std::string> g_steps;

void DictionaryExit() { g_steps.push_back("dictionary exit"); }

// Builds a tiny sound per sentence and notes the sentence and the thread.
class RecordingBuilder final : public ItemWaveBuilder {
public:
    int BuildItemWave(SoundBuffer& dest, int itemId) override {
        WriteWaveHeader(dest.Data(), kWaveHeaderBytes, 1, 11025);
        dest.DurationMs = 1000.0f;
        std::lock_guard<std::mutex> lock(mutex_);
        builds_.push_back({itemId, std::this_thread::get_id()});
        return 5;
    }
    std::vector<std::pair<int, std::thread::id>> Builds() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return builds_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::pair<int, std::thread::id>> builds_;
};

// The windows as the session sees them: each call is noted together with what the session has
// done by then.
class FakeView final : public StartupView, public ShutdownView {
public:
    explicit FakeView(Session& session) : s_(session) {}

    void OpenWelcome() override { Note("welcome"); }
    void StatusLine(const char* line, bool paint) override { Note(std::string(line) + (paint ? "" : " (later)")); }
    void PrepareDrawing() override {
        Note("drawing");
        itemCountAtDrawing = s_.State().ItemCount;
        openAtDrawing = s_.Db().IsOpen();
    }
    void ShowGraphScales() override {
        Note("graph scales");
        historyAtScales = s_.State().AnswerHistoryCount;
    }
    void ShowSettings(const CommonSettings& settings, int left, int top) override {
        Note("settings");
        playDelay = settings.PlayDelay;
        place = {left, top};
        currentAtSettings = s_.State().CurrentItemId;
    }
    void ShowWordStatCount() override {
        Note("word stat count");
        wordStats = s_.State().WordStatCount;
        soundAtStats = s_.Sound() != nullptr;
    }
    void ParkTypingEdits() override { Note("typing edits"); }
    void LoadPictures() override {
        Note("pictures");
        currentAtPictures = s_.State().CurrentItemId;
    }
    void ShowLearnPage() override { Note("learn page"); }
    void CloseWelcome() override { Note("welcome closed"); }

    void CollectGeometry(WindowsToSave& windows) override {
        Note("geometry");
        windows.MainLeft = 33;
        windows.MainTop = 44;
        windows.Pictures = WindowGeometry{1, 2, 300, 400};
    }
    void StopPlaying() override {
        Note("stop playing");
        iniAtStop = test::TempDir::Read(s_.Ini().Path());
        openAtStop = s_.Db().IsOpen();
    }

    int itemCountAtDrawing = -1;
    bool openAtDrawing = false;
    int historyAtScales = -1;
    uint32_t playDelay = 0;
    std::pair<int, int> place{-1, -1};
    int currentAtSettings = -2;
    int wordStats = -1;
    bool soundAtStats = false;
    int currentAtPictures = -2;
    std::string iniAtStop;
    bool openAtStop = false;

private:
    void Note(const std::string& step) { g_steps.push_back(step); }
    Session& s_;
};

class SessionTest : public ::testing::Test {
protected:
    SessionTest() {
        g_steps.clear();
        qputenv("LINDQUEST_INI_DIR", QByteArray::fromStdString(dir.Path()));
        env.ProgramDir = dir.Path();
        services.soundBuilder = &builder;
        services.startupPauseMs = 0;
    }
    ~SessionTest() override { qunsetenv("LINDQUEST_INI_DIR"); }

    // A lesson database of `sentences` sentences and `answers` rows of score history.
    void MakeLessons(int sentences, int answers = 0) {
        test::LessonDb lessons(dir.File("QV_01.db"));
        lessons.AddModule();
        for (int i = 0; i < sentences; ++i) {
            test::ItemRow item;
            item.stract = "word" + std::to_string(i) + " two";
            lessons.AddItem(item);
        }
        if (answers > 0)
            lessons.Exec("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < " +
                         std::to_string(answers) +
                         ") INSERT INTO answcn (glrang, isentn, dtdate, glansn) SELECT '50.0', 1, "
                         "datetime('2024-01-01', '+' || x || ' minutes'), '0' FROM n;");
        lessons.MarkWord("two", 1);
    }
    int Count(const std::string& sql) { return test::LessonDb(dir.File("QV_01.db")).Count(sql); }

    test::TempDir dir;
    ProgramEnv env;
    RecordingBuilder builder;
    SessionServices services;
};

TEST_F(SessionTest, StartUpRunsItsStepsInOrderWithoutAWindow) {
    MakeLessons(3);
    dir.Write("Tessarin.ini", "[Common]\nLeft     =70\nTop      =80\nPlayDelay=2500\n");
    test::RecordingPrompter prompter;
    Session session(env, "QV_01.db", services);
    session.Dictionary().SetEntryPoints(nullptr, nullptr, &DictionaryExit);
    FakeView view(session);
    session.Start(view);

    const std::vector<std::string> expected{
        "welcome",        "Reading sentences & indexes... (later)", "Reading answers & sounds...",
        "drawing",        "graph scales",                           "settings",
        "Preparing first sound...", "Reading statistics...",       "word stat count",
        "typing edits",   "pictures",                               "learn page",
        "welcome closed"};
    EXPECT_EQ(g_steps, expected);
    // Each step finds what the steps before it made.
    EXPECT_TRUE(view.openAtDrawing);
    EXPECT_EQ(view.itemCountAtDrawing, 3);
    EXPECT_EQ(view.historyAtScales, 0);
    EXPECT_EQ(view.playDelay, 2500u);
    EXPECT_EQ(view.place, std::make_pair(70, 80));
    EXPECT_EQ(view.currentAtSettings, -1);  // the sentences are chosen after the settings
    EXPECT_EQ(view.wordStats, 1);
    EXPECT_TRUE(view.soundAtStats);
    EXPECT_GT(view.currentAtPictures, 0);
    EXPECT_TRUE(prompter.messages.empty());

    // The first sound here, the following one on the sound thread.
    const LearnState& state = session.State();
    EXPECT_NE(state.CurrentItemId, state.NextItemId);
    EXPECT_FALSE(state.NowText.empty());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (builder.Builds().size() < 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto builds = builder.Builds();
    ASSERT_EQ(builds.size(), 2u);
    EXPECT_EQ(builds[0], std::make_pair(state.CurrentItemId, std::this_thread::get_id()));
    EXPECT_EQ(builds[1].first, state.NextItemId);
    EXPECT_NE(builds[1].second, std::this_thread::get_id());

    // The context handed to the windows is the session's own, every member set.
    const AppContext& ctx = session.Context();
    EXPECT_EQ(ctx.db, &session.Db());
    EXPECT_EQ(ctx.state, &session.State());
    EXPECT_EQ(ctx.settings, &session.Settings());
    EXPECT_EQ(ctx.ini, &session.Ini());
    EXPECT_TRUE(ctx.env && ctx.row && ctx.clock && ctx.rng);
    EXPECT_EQ(ctx.env->ProgramDir, dir.Path());
}

TEST_F(SessionTest, AnEmptyDatabaseGetsNoSoundAndTheDefaultPlace) {
    Session session(env, "QV_01.db", services);
    FakeView view(session);
    session.Start(view);
    EXPECT_TRUE(session.Db().IsOpen());
    EXPECT_EQ(view.itemCountAtDrawing, 0);
    EXPECT_EQ(view.place, std::make_pair(10, 10));
    EXPECT_EQ(view.playDelay, 2000u);
    ASSERT_NE(session.Sound(), nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(builder.Builds().empty());
}

TEST_F(SessionTest, StartUpPrunesALongHistoryBeforeTheGraphScales) {
    MakeLessons(1, 16641);
    Session session(env, "QV_01.db", services);
    FakeView view(session);
    session.Start(view);
    EXPECT_EQ(view.historyAtScales, 16385);
    EXPECT_EQ(session.State().AnswerHistoryCount, 16385);
    session.Db().Close();
    EXPECT_EQ(Count("SELECT count(*) FROM answcn;"), 16385);
}

TEST_F(SessionTest, ShutDownWritesTheSettingsThenEndsTheThreadThenClosesTheDatabase) {
    MakeLessons(2);
    Session session(env, "QV_01.db", services);
    session.Dictionary().SetEntryPoints(nullptr, nullptr, &DictionaryExit);
    FakeView view(session);
    session.Start(view);
    session.Settings().PlayDelay = 4000;
    session.Sound()->QueueAnsweredWord("two");
    g_steps.clear();

    session.Shut(view);
    EXPECT_EQ(g_steps, (std::vector<std::string>{"dictionary exit", "geometry", "stop playing"}));
    // The settings file was written whole before playing stopped, with the windows' geometry.
    for (const char* line : {"\nLeft=33\n", "\nTop=44\n", "\nPlayDelay=4000\n", "\nImsLeft=1\n", "\nImsTop=2\n",
                             "\nImsHeight=300\n", "\nImsWidth=400\n"})
        EXPECT_NE(view.iniAtStop.find(line), std::string::npos) << line << "\n" << view.iniAtStop;
    EXPECT_EQ(view.iniAtStop.find("Cmn"), std::string::npos);  // no comments window: no keys
    // The thread ended and its queued word was stored before the connection went.
    EXPECT_TRUE(view.openAtStop);
    EXPECT_FALSE(session.Db().IsOpen());
    EXPECT_TRUE(session.IsShut());
    EXPECT_EQ(Count("SELECT count(*) FROM wrdstt WHERE twordd='two' AND ianswr=1;"), 1);

    // Once only.
    g_steps.clear();
    session.Shut(view);
    EXPECT_TRUE(g_steps.empty());
}

TEST_F(SessionTest, WithoutAShutDownNothingIsWrittenAndTheThreadStillEnds) {
    MakeLessons(2);
    {
        Session session(env, "QV_01.db", services);
        FakeView view(session);
        session.Start(view);
        session.Sound()->QueueAnsweredWord("two");
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("Tessarin.ini")));
    EXPECT_EQ(Count("SELECT count(*) FROM wrdstt WHERE twordd='two' AND ianswr=1;"), 1);
}

TEST_F(SessionTest, ABrokenDatabaseFileIsToldAndTheProgramFolderOneOpened) {
    MakeLessons(2);
    dir.Write("broken.db", std::string(4096, 'x'));
    test::RecordingPrompter prompter;
    Session session(env, "broken.db", services);
    FakeView view(session);
    session.Start(view);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_TRUE(prompter.messages[0].text.startsWith("Can't open database: ")) << prompter.messages[0].text.toStdString();
    EXPECT_EQ(prompter.messages[0].caption, QStringLiteral("Ooops...."));
    EXPECT_TRUE(session.Db().IsOpen());
    EXPECT_EQ(view.itemCountAtDrawing, 2);
}

// Both roads open the database the same way: a file that is no database is told in the same
// words, and the import then fails without touching it.
TEST_F(SessionTest, TheImportRoadOpensThroughTheSameOpener) {
    const std::string junk(4096, 'x');
    dir.Write("QV_01.db", junk);
    test::RecordingPrompter prompter;
    {
        Session session(env, dir.File("QV_01.db"), services);
        EXPECT_FALSE(session.OpenDatabase());
    }
    EXPECT_EQ(RunImportRoad(dir.Path(), "unit07.txt"), kImportFailed);
    ASSERT_EQ(prompter.messages.size(), 2u);
    EXPECT_EQ(prompter.messages[1].text, prompter.messages[0].text);
    EXPECT_EQ(prompter.messages[1].caption, prompter.messages[0].caption);
    EXPECT_EQ(prompter.messages[1].icon, prompter.messages[0].icon);
    EXPECT_EQ(test::TempDir::Read(dir.File("QV_01.db")), junk);
}

}  // namespace
}  // namespace lq
