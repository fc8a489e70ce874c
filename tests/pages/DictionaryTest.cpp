#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "core/AppState.h"
#include "core/SentenceBoard.h"
#include "pages/Dictionary.h"
#include "tests/pages/PagesTestSupport.h"

namespace lq {
namespace {

struct FakeClipboard : TextClipboard {
    void SetText(const std::string& t) override {
        text = t;
        ++sets;
    }
    std::string text;
    int sets = 0;
};

struct FakeLauncher : ProcessLauncher {
    bool StartDetached(const std::string& p, const std::vector<std::string>& a) override {
        program = p;
        args = a;
        ++starts;
        return false;  // as when the program is not installed
    }
    std::string program;
    std::vector<std::string> args;
    int starts = 0;
};

struct FakeKeys : KeySynth {
    bool Send(SynthKey key, bool down) override {
        sent.push_back((key == SynthKey::ControlLeft ? std::string("CtrlL") : std::string("C")) + (down ? "v" : "^"));
        return true;
    }
    void Flush() override { ++flushes; }
    std::vector<std::string> sent;
    int flushes = 0;
};

// The library's entry points, recorded.
struct LibraryLog {
    static inline std::vector<std::string> calls;
};
void FakeShow(uintptr_t owner, int32_t x, int32_t y, const char* word) {
    LibraryLog::calls.push_back("show " + std::to_string(owner) + " " + std::to_string(x) + " " + std::to_string(y) +
                                " " + word);
}
void FakeHide() { LibraryLog::calls.push_back("hide"); }
void FakeExit() { LibraryLog::calls.push_back("exit"); }

class DictionaryLookupTest : public ::testing::Test {
protected:
    void SetUp() override {
        LibraryLog::calls.clear();
        for (const char* w : {"last.", "don't,", "first"}) {
            WordTile t;
            t.Text = w;
            t.Left = 100;
            t.Top = 50;
            t.Width = 40;
            board.WordTiles.push_back(t);
        }
    }
    DictionaryLookup Lookup() { return DictionaryLookup({&clipboard, &launcher, &keys}, library); }
    FakeClipboard clipboard;
    FakeLauncher launcher;
    FakeKeys keys;
    DictionaryLibrary library;
    SentenceBoard board;
    LearnState state;
};

TEST_F(DictionaryLookupTest, NoTileNoLookup) {
    library.SetEntryPoints(FakeShow, FakeHide, FakeExit);
    DictionaryLookup d = Lookup();
    for (int tile : {-1, 3, 99}) {  // none, and indexes of an older, longer sentence
        for (int translater : {0, 1, 2}) d.Lookup(board, tile, translater, {10, 20}, 7, state, 0);
    }
    EXPECT_EQ(clipboard.sets, 0);
    EXPECT_EQ(launcher.starts, 0);
    EXPECT_TRUE(keys.sent.empty());
    EXPECT_TRUE(LibraryLog::calls.empty());
    EXPECT_FALSE(state.ShortcutsSuspended);
}

TEST_F(DictionaryLookupTest, OutsideProgramGetsTheWordUnchanged) {
    DictionaryLookup d = Lookup();
    d.Lookup(board, 1, 0, {10, 20}, 7, state, 0);
    EXPECT_EQ(clipboard.text, "don't,");
    EXPECT_EQ(launcher.program, "goldendict");
    EXPECT_EQ(launcher.args, (std::vector<std::string>{"don't,"}));
    EXPECT_TRUE(keys.sent.empty());
}

TEST(OutsideDictionaryArgumentTest, AWordNeverBecomesAnOption) {
    const struct {
        const char* word;
        const char* arg;
    } cases[] = {
        {"hello", "hello"},
        {"a-b", "a-b"},
        {"50%/60%", "50%/60%"},  // only words that begin with "-" change
        {"--version", "goldendict://--version"},
        {"--help", "goldendict://--help"},
        {"-style", "goldendict://-style"},
        {"-", "goldendict://-"},
        {"-50%/x/", "goldendict://-50%25%2Fx%2F"},
        {"-\xEF\xF0\xE8", "goldendict://-\xEF\xF0\xE8"},
    };
    for (const auto& c : cases) {
        const std::string arg = OutsideDictionaryArgument(c.word);
        EXPECT_EQ(arg, c.arg) << c.word;
        EXPECT_NE(arg.front(), '-') << c.word;
    }
}

TEST_F(DictionaryLookupTest, AWordThatBeginsWithADashReachesTheProgramAsAnAddress) {
    board.WordTiles[0].Text = "--version";
    DictionaryLookup d = Lookup();
    d.Lookup(board, 0, 0, {10, 20}, 7, state, 0);
    EXPECT_EQ(clipboard.text, "--version");  // the clipboard gets the word itself
    EXPECT_EQ(launcher.args, (std::vector<std::string>{"goldendict://--version"}));
}

TEST_F(DictionaryLookupTest, LibraryGetsTheNormalisedWordAtTheTilesTopRight) {
    library.SetEntryPoints(FakeShow, FakeHide, FakeExit);
    DictionaryLookup d = Lookup();
    d.Lookup(board, 1, 2, {10, 20}, 7, state, 0);
    EXPECT_EQ(clipboard.text, "don't,");
    EXPECT_EQ(LibraryLog::calls, (std::vector<std::string>{"show 7 150 70 don*t"}));
    EXPECT_EQ(launcher.starts, 0);

    DictionaryLibrary noShow;
    noShow.SetEntryPoints(nullptr, FakeHide, FakeExit);
    DictionaryLookup without({&clipboard, &launcher, &keys}, noShow);
    LibraryLog::calls.clear();
    clipboard.text.clear();
    without.Lookup(board, 0, 2, {10, 20}, 7, state, 0);
    EXPECT_EQ(clipboard.text, "last.");  // the clipboard only
    EXPECT_TRUE(LibraryLog::calls.empty());
}

TEST_F(DictionaryLookupTest, OtherChoicesSynthesiseTheHotKey) {
    for (int translater : {1, 3, -1}) {
        keys.sent.clear();
        state.ShortcutsSuspended = false;
        DictionaryLookup d = Lookup();
        d.Lookup(board, 2, translater, {10, 20}, 7, state, 1000);
        EXPECT_EQ(keys.sent, (std::vector<std::string>{"CtrlLv", "Cv", "C^", "Cv", "C^", "CtrlL^"})) << translater;
        EXPECT_TRUE(state.ShortcutsSuspended);
        EXPECT_EQ(clipboard.text, "first");
        // The synthetic Ctrl cannot run Next even after a mouse move cleared the flag ...
        state.ShortcutsSuspended = false;
        EXPECT_TRUE(d.Guard().BlocksCtrl(1100));
        // ... until its key-up arrived.
        d.Guard().NoteCtrlReleased();
        EXPECT_FALSE(d.Guard().BlocksCtrl(1100));
    }
}

TEST(SyntheticCtrlGuard, TimesOutAndSurvivesTheTickWrap) {
    SyntheticCtrlGuard g;
    EXPECT_FALSE(g.BlocksCtrl(0));
    g.Arm(1000);
    EXPECT_TRUE(g.BlocksCtrl(1499));
    EXPECT_FALSE(g.BlocksCtrl(1500));
    g.Arm(0xFFFFFF00u);
    EXPECT_TRUE(g.BlocksCtrl(0x10));
}

TEST_F(DictionaryLookupTest, HideAndExitCallTheLibraryWhateverTheChoice) {
    library.SetEntryPoints(FakeShow, FakeHide, FakeExit);
    DictionaryLookup d = Lookup();
    d.LearnPageHidden();
    d.MainWindowClosing();
    EXPECT_EQ(LibraryLog::calls, (std::vector<std::string>{"hide", "exit"}));
    DictionaryLibrary none;
    DictionaryLookup n({&clipboard, &launcher, &keys}, none);
    n.LearnPageHidden();  // nothing loaded: nothing happens
    n.MainWindowClosing();
}

// ---- the real library ----

using LogFn = const char* (*)();
using ResetFn = void (*)();

TEST(DictionaryLibraryLoad, LoadsFromTheProgramFolderOnly) {
    const std::string dir = LQ_FAKE_VORIZU_DIR;
    DictionaryLibrary lib;
    ASSERT_TRUE(lib.Load(dir));
    EXPECT_TRUE(lib.HasShow());

    void* h = dlopen((dir + "/libVORizu.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(h, nullptr);
    const auto log = reinterpret_cast<LogFn>(dlsym(h, "FakeVORizuLog"));
    const auto reset = reinterpret_cast<ResetFn>(dlsym(h, "FakeVORizuReset"));
    ASSERT_TRUE(log && reset);
    reset();

    SentenceBoard board;
    WordTile t;
    t.Text = "\xC4\xEE\xEC,";  // "Дом," in cp1251
    t.Left = 5;
    t.Top = 6;
    t.Width = 7;
    board.WordTiles.push_back(t);
    FakeClipboard clipboard;
    LearnState state;
    DictionaryLookup d({&clipboard, nullptr, nullptr}, lib);
    d.Lookup(board, 0, 2, {100, 200}, 42, state, 0);
    d.LearnPageHidden();  // _HideTransl is missing: nothing happens
    d.MainWindowClosing();
    EXPECT_EQ(std::string(log()), "show 42 112 206 \xC4\xEE\xEC\nexit\n");
    dlclose(h);

    // A copy in the current folder is not taken when the program folder has none.
    test::TempDir empty;
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    DictionaryLibrary other;
    EXPECT_FALSE(other.Load(empty.Path()));
    EXPECT_FALSE(other.HasShow());
    EXPECT_FALSE(other.Load(""));
    ASSERT_EQ(chdir(cwd), 0);
}

// ---- the outside program's argument ----

TEST(DictionaryOutsideProgram, ShellCharactersArriveAsOneArgument) {
    test::EnsureGuiApp();
    test::TempDir dir;
    const std::string script = dir.Write("record.sh",
                                         "#!/bin/sh\n"
                                         "{ echo \"$#\"; for a in \"$@\"; do echo \"[$a]\"; done; } > \"$0.tmp\"\n"
                                         "mv \"$0.tmp\" \"$0.out\"\n");
    ASSERT_EQ(chmod(script.c_str(), 0755), 0);

    SentenceBoard board;
    WordTile t;
    t.Text = "a;b $(x) `y` 'z' \"q\" | >w";
    board.WordTiles.push_back(t);
    FakeClipboard clipboard;
    QtProcessLauncher launcher;
    DictionaryLibrary lib;
    LearnState state;
    DictionaryLookup d({&clipboard, &launcher, nullptr}, lib);
    d.SetOutsideProgram(script);
    d.Lookup(board, 0, 0, {}, 0, state, 0);

    const std::string out = script + ".out";
    for (int i = 0; i < 500 && access(out.c_str(), F_OK) != 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(test::TempDir::Read(out), "1\n[a;b $(x) `y` 'z' \"q\" | >w]\n");
    EXPECT_NE(access(dir.File("w").c_str(), F_OK), 0);  // nothing was redirected

    // A program that is not installed: nothing happens.
    d.SetOutsideProgram("lindquest-no-such-dictionary");
    d.Lookup(board, 0, 0, {}, 0, state, 0);
    EXPECT_EQ(clipboard.text, t.Text);
}

}  // namespace
}  // namespace lq
