// Lindquest: the process entry. Everything of substance is in RunEntry and the windows.
#include <clocale>
#include <cstdlib>

#include "app/Application.h"
#include "app/ProgramEntry.h"
#include "app/Windows.h"
#include "platform/Process.h"
#include "platform/Prompter.h"
#include "session/ImportRoad.h"
#include "ui/QtPrompter.h"
#include "ui/TProgressFrm.h"

int main(int argc, char** argv) {
    const bool importRoad = lq::FindAddItemsArg(lq::RawCommandLine(argc, argv)).has_value();
    // The import needs no window; without a display its messages go to standard error.
    if (importRoad && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);

    lq::Application app(argc, argv);
    // Qt sets the desktop's locale; numbers are always read and written with '.'.
    std::setlocale(LC_NUMERIC, "C");

    // Message boxes for the whole run, the import road's included.
    static lq::QtPrompter prompter;
    lq::SetAppPrompter(&prompter);

    lq::QtProcessLauncher launcher;
    lq::EntryRoads roads;
    roads.importModule = [](const std::string& programDir, const std::string& argument) {
        lq::ProgressWindow progress;  // created on its first report
        lq::ScopedAppProgress useProgress(&progress);
        return lq::RunImportRoad(programDir, argument);
    };
    roads.runWindows = [&app](const lq::ProgramEnv& env, const lq::ProgramOptions& options) {
        return lq::RunWindows(app, env, options);
    };
    roads.launcher = &launcher;
    return lq::RunEntry(argc, argv, roads);
}
