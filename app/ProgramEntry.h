#pragma once
// The program entry: the single-instance check, the choice between the headless import and the
// windowed program, and the restart after the windowed run asked for one.
#include <functional>
#include <string>

#include "app/CommandLine.h"
#include "core/AppState.h"

namespace lq {

class ProcessLauncher;

inline constexpr const char* kInstanceLockName = "Lindquest_070917";
inline constexpr int kImportFailedExitCode = 4;

struct EntryRoads {
    // The "-additems" road: import the module named by `argument` into QV_01.db of `programDir`;
    // returns the exit code.
    std::function<int(const std::string& programDir, const std::string& argument)> importModule;
    // The windowed road: create the windows and run the event loop until the main window closed
    // (its shut-down has run by then); returns the loop's code.
    std::function<int(const ProgramEnv& env, const ProgramOptions& options)> runWindows;
    // Starts the new copy after a restart request.
    ProcessLauncher* launcher = nullptr;
};

// The whole entry; `argv[0]` is the program's name. A QApplication exists already.
int RunEntry(int argc, char** argv, const EntryRoads& roads);

}  // namespace lq
