#pragma once
// The windowed road: the program's windows in their order, and the event loop.
#include "app/CommandLine.h"
#include "core/AppState.h"

class QApplication;

namespace lq {

// Creates the windows (the main window first: its creation is the start-up), runs the event
// loop until the main window closed and returns the loop's code; 1 when the start-up could not
// open any database.
int RunWindows(QApplication& app, const ProgramEnv& env, const ProgramOptions& options);

}  // namespace lq
