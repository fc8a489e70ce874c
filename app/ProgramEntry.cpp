#include "app/ProgramEntry.h"

#include <unistd.h>

#include <QString>
#include <exception>

#include "core/Restart.h"
#include "platform/InstanceLock.h"
#include "platform/Process.h"
#include "platform/Prompter.h"

namespace lq {
namespace {

void ShowException(const char* what) {
    AppPrompter().Show(QString::fromUtf8(what ? what : "unknown error"), QStringLiteral("Lindquest"), MsgIcon::Error);
}

// After the windowed run asked for a restart: the old copy's shut-down has run; now free the
// lock and start the new copy on the same database and in the same mode.
void FinishRestart(InstanceLock& lock, const ProgramEnv& env, const ProgramOptions& options,
                   ProcessLauncher* launcher) {
    lock.Release();
    if (chdir(env.ProgramDir.c_str()) != 0) {
        // The new copy finds its folder from its own path; the current folder is only a courtesy.
    }
    const std::string program = env.ProgramDir + "/lindquest";
    if (!launcher || !launcher->StartDetached(program, RestartArguments(options))) {
        AppPrompter().Show(QString::fromUtf8("Cannot restart Lindquest, please start the program again."),
                           QStringLiteral("Ooops..."), MsgIcon::Warning);
    }
}

}  // namespace

int RunEntry(int argc, char** argv, const EntryRoads& roads) {
    InstanceLock lock;
    if (lock.Acquire(kInstanceLockName, 100) == InstanceLock::Result::Running) {
        AppPrompter().Show(QString::fromUtf8("Возможно программа 'Lindquest' уже запущена."),
                           QStringLiteral("Ooops..."), MsgIcon::Warning);
        return 1;
    }

    ProgramEnv env;
    env.ProgramDir = ExtractFileDir(ExecutablePath());
    if (env.ProgramDir.empty() && argc > 0) env.ProgramDir = ExtractFileDir(argv[0]);

    const std::optional<std::string> importArg = FindAddItemsArg(RawCommandLine(argc, argv));
    if (importArg) {
        try {
            if (chdir(env.ProgramDir.c_str()) != 0) {
                AppPrompter().Show(QString::fromUtf8("Cannot enter the program folder ") +
                                       QString::fromLocal8Bit(env.ProgramDir.c_str()),
                                   QStringLiteral("Ooops...."), MsgIcon::Error);
                return kImportFailedExitCode;
            }
            return roads.importModule ? roads.importModule(env.ProgramDir, *importArg) : kImportFailedExitCode;
        } catch (const std::exception& e) {
            ShowException(e.what());
            return kImportFailedExitCode;
        } catch (...) {
            ShowException(nullptr);
            return kImportFailedExitCode;
        }
    }

    std::vector<std::string> params;
    for (int i = 0; i < argc; ++i) params.emplace_back(argv[i]);
    const ProgramOptions options = ParseOptions(params);
    env.DebugMode = options.debug;

    int code = 0;
    try {
        ClearRestartRequest();
        code = roads.runWindows ? roads.runWindows(env, options) : 0;
    } catch (const std::exception& e) {
        ShowException(e.what());
    } catch (...) {
        ShowException(nullptr);
    }
    if (RestartRequested()) FinishRestart(lock, env, options, roads.launcher);
    return code;
}

}  // namespace lq
