// The "-additems" road: the function the entry calls, and the real program run from a terminal
// without a display in a program folder of its own.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "modules/ImportModule.h"
#include "session/ImportRoad.h"
#include "tests/modules/ModuleTestSupport.h"
#include "tests/support/RecordingPrompter.h"
#include "tests/support/Unprivileged.h"

extern char** environ;

namespace lq {
namespace {

namespace fs = std::filesystem;

long long CountRows(const std::string& dbPath, const char* table) {
    Database db;
    if (!db.Open(dbPath).ok()) return -1;
    long long n = -1;
    db.Query(std::string("SELECT count(*) FROM ") + table + ";", [&n](int, char** v, char**) { n = std::stoll(v[0]); });
    return n;
}

class ImportRoadTest : public ::testing::Test {
protected:
    ImportRoadTest() { fs::create_directories(dir.Path() + "/Data"); }
    void AddModule(const std::string& base, const std::string& skip = "") {
        for (const char* ext : {"txt", "txr", "mp3", "pos", "ims"}) {
            if (skip != ext) fs::copy_file(test::FixtureDir() + "/unit07." + ext, dir.Path() + "/Data/" + base + "." + ext);
        }
    }
    std::string DbPath() const { return dir.Path() + "/QV_01.db"; }

    test::TempDir dir;
};

TEST_F(ImportRoadTest, FreshFolderGetsTheSchemaAndTheModule) {
    test::RecordingPrompter prompter;
    AddModule("unit07");
    AddModule("unit1");
    AddModule("unit10");
    AddModule("nopos", "pos");
    ASSERT_FALSE(fs::exists(DbPath()));
    EXPECT_EQ(RunImportRoad(dir.Path(), "unit10.txt"), 0);
    EXPECT_EQ(CountRows(DbPath(), "items2"), 3);
    EXPECT_EQ(CountRows(DbPath(), "wrdstt"), 0);  // the whole schema is there
    EXPECT_EQ(CountRows(DbPath(), "answcn"), 0);
    EXPECT_EQ(RunImportRoad(dir.Path(), "unit10.txt"), 1);
    EXPECT_EQ(RunImportRoad(dir.Path(), "UNIT07.txt"), 0);
    EXPECT_EQ(RunImportRoad(dir.Path(), "unit07.txt"), 1);
    EXPECT_EQ(RunImportRoad(dir.Path(), "unit1.txt"), 0);
    EXPECT_EQ(RunImportRoad(dir.Path(), "nopos.txt"), 2);
    EXPECT_EQ(CountRows(DbPath(), "sounds"), 3);
    EXPECT_EQ(CountRows(DbPath(), "items2"), 9);
    ASSERT_EQ(prompter.messages.size(), 3u);
    EXPECT_EQ(prompter.messages[2].text,
              QStringLiteral("There is no needed files: Data/nopos.mp3 or Data/nopos.pos !"));
}

TEST_F(ImportRoadTest, AFileThatIsNoDatabaseFails) {
    test::RecordingPrompter prompter;
    AddModule("unit07");
    std::ofstream(DbPath()) << "this is not a database, but a text file that is long enough to be read as one";
    EXPECT_EQ(RunImportRoad(dir.Path(), "unit07.txt"), kImportFailed);
    ASSERT_EQ(prompter.messages.size(), 1u);
    EXPECT_EQ(prompter.messages[0].caption, QStringLiteral("Ooops...."));
}

// ---- the real program ------------------------------------------------------------------------

constexpr int kCannotDropRoot = 125;

struct ProgramRun {
    int code = -1;
    std::string err;
};

class ProgramRoadTest : public ImportRoadTest {
protected:
    void SetUp() override {
        const std::string program = test::BinaryDir() + "/lindquest";
        if (!fs::exists(program)) GTEST_SKIP() << "no program at " << program;
        fs::copy_file(program, dir.Path() + "/lindquest");
        fs::create_directories(dir.Path() + "/run");
        fs::permissions(dir.Path() + "/run", fs::perms::owner_all);
    }

    // Runs the copy in the temporary folder as from a terminal without a display; `asNobody`:
    // as the unprivileged user when this is root, so that file permissions apply.
    ProgramRun Start(const std::string& argument, bool asNobody = false) {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string v = *e;
            if (v.rfind("DISPLAY=", 0) == 0 || v.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
                v.rfind("QT_QPA_PLATFORM=", 0) == 0 || v.rfind("XDG_RUNTIME_DIR=", 0) == 0)
                continue;
            env.push_back(v);
        }
        env.push_back("XDG_RUNTIME_DIR=" + dir.Path() + "/run");  // an instance lock of its own
        std::vector<char*> envp;
        for (auto& v : env) envp.push_back(v.data());
        envp.push_back(nullptr);
        const std::string exe = dir.Path() + "/lindquest", errPath = dir.Path() + "/stderr.txt";
        std::string key = "-additems", arg = argument;
        char* argv[] = {const_cast<char*>(exe.c_str()), key.data(), arg.data(), nullptr};

        ProgramRun run;
        const pid_t pid = fork();
        if (pid == 0) {
            const int fd = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int devnull = open("/dev/null", O_RDWR);
            if (fd >= 0) dup2(fd, 2);
            if (devnull >= 0) {
                dup2(devnull, 0);
                dup2(devnull, 1);
            }
            if (asNobody && test::RunningAsRoot() && !test::DropRoot()) _exit(kCannotDropRoot);
            if (chdir("/") != 0) _exit(126);  // the program must find its folder by itself
            execve(exe.c_str(), argv, envp.data());
            _exit(127);
        }
        int status = 0;
        if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.code = WEXITSTATUS(status);
        run.err = test::TempDir::Read(errPath);
        return run;
    }

    // Until the entry runs the import, the program does nothing with the option.
    bool EntryRunsImport() {
        if (fs::exists(DbPath())) return true;
        return false;
    }
};

TEST_F(ProgramRoadTest, ExitCodesFromATerminalWithoutDisplay) {
    AddModule("unit07");
    AddModule("unit1");
    AddModule("unit10");
    AddModule("nopos", "pos");
    AddModule("flags0");
    {
        std::ofstream(dir.Path() + "/Data/flags0.pos", std::ios::binary | std::ios::trunc)
            << test::MakePos(3, {{0, 1, 2, {0}}, {0, 3, 4, {0}}, {0, 5, 6, {0}}});
    }
    AddModule("o'neil");

    const ProgramRun first = Start("unit07.txt");
    if (first.code == 0 && !EntryRunsImport()) GTEST_SKIP() << "the program entry does not run the import yet";
    EXPECT_EQ(first.code, 0) << first.err;
    EXPECT_EQ(CountRows(DbPath(), "items2"), 3);

    const ProgramRun again = Start("unit07.txt");
    EXPECT_EQ(again.code, 1);
    EXPECT_NE(again.err.find("These items are already added!"), std::string::npos) << again.err;
    EXPECT_EQ(Start("UNIT07.txt").code, 1);

    const ProgramRun missing = Start("nopos.txt");
    EXPECT_EQ(missing.code, 2);
    EXPECT_NE(missing.err.find("There is no needed files: Data/nopos.mp3 or Data/nopos.pos !"), std::string::npos)
        << missing.err;
    EXPECT_EQ(Start("flags0.txt").code, 3);
    EXPECT_EQ(CountRows(DbPath(), "sounds"), 1);
    EXPECT_EQ(CountRows(DbPath(), "items2"), 3);

    EXPECT_EQ(Start("unit10.txt").code, 0);
    EXPECT_EQ(Start("unit1.txt").code, 0);
    EXPECT_EQ(Start("o'neil.txt").code, 0);
    EXPECT_EQ(CountRows(DbPath(), "sounds"), 4);
    EXPECT_EQ(CountRows(DbPath(), "items2"), 12);
}

TEST_F(ProgramRoadTest, AnSqlErrorGivesFourAndChangesNothing) {
    AddModule("unit07");
    AddModule("unit08");
    const ProgramRun first = Start("unit07.txt");
    if (first.code == 0 && !EntryRunsImport()) GTEST_SKIP() << "the program entry does not run the import yet";
    ASSERT_EQ(first.code, 0) << first.err;
    {
        Database db;
        ASSERT_TRUE(db.Open(DbPath()).ok());
        ASSERT_TRUE(db.Exec("CREATE TRIGGER t BEFORE INSERT ON items2 BEGIN SELECT RAISE(ABORT,'refused'); END;").ok());
    }
    const ProgramRun failed = Start("unit08.txt");
    EXPECT_EQ(failed.code, 4);
    EXPECT_NE(failed.err.find("SQL error: refused"), std::string::npos) << failed.err;
    EXPECT_EQ(CountRows(DbPath(), "sounds"), 1);
    EXPECT_EQ(CountRows(DbPath(), "items2"), 3);
}

TEST_F(ProgramRoadTest, AModuleFileThatCannotBeReadIsNamedGivesFourAndStoresNothing) {
    AddModule("unit08");
    const ProgramRun first = Start("unit08.txt");
    if (first.code == 0 && !EntryRunsImport()) GTEST_SKIP() << "the program entry does not run the import yet";
    ASSERT_EQ(first.code, 0) << first.err;

    // A folder where the sentence file would be found: unreadable for anyone, root included.
    AddModule("unit07", "txt");
    fs::create_directories(dir.Path() + "/Data/unit07.txt");
    const ProgramRun folder = Start("unit07.txt");
    EXPECT_EQ(folder.code, kImportFailed);
    EXPECT_NE(folder.err.find("Cannot read Data/unit07.txt: Is a directory"), std::string::npos) << folder.err;
    EXPECT_EQ(folder.err.find("There is no data in these files!"), std::string::npos) << folder.err;
    EXPECT_EQ(CountRows(DbPath(), "sounds"), 1);
    EXPECT_EQ(CountRows(DbPath(), "items2"), 3);

    // An index the user may not read.
    AddModule("unit09");
    fs::permissions(dir.Path() + "/Data/unit09.pos", fs::perms::none);
    for (const std::string& p : {dir.Path(), dir.Path() + "/run"}) fs::permissions(p, fs::perms::all);
    fs::permissions(DbPath(), fs::perms::all);
    const ProgramRun locked = Start("unit09.txt", true);
    if (locked.code == kCannotDropRoot) GTEST_SKIP() << "cannot drop root to uid/gid 65534";
    EXPECT_EQ(locked.code, kImportFailed) << locked.err;
    EXPECT_NE(locked.err.find("Cannot read Data/unit09.pos: Permission denied"), std::string::npos) << locked.err;
    EXPECT_EQ(CountRows(DbPath(), "sounds"), 1);
    EXPECT_EQ(CountRows(DbPath(), "items2"), 3);
}

}  // namespace
}  // namespace lq
