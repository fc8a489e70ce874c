#include "app/Windows.h"

#include <QApplication>

#include "app/Application.h"
#include "main/AppContext.h"
#include "main/Database.h"
#include "main/ui/TProgressFrm.h"
#include "main/ui/TTessarinMF.h"

namespace lq {

int RunWindows(QApplication& app, const ProgramEnv& envIn, const ProgramOptions& options) {
    ProgramEnv env = envIn;
    AppContext ctx;
    ctx.env = &env;
    TTessarinMF mainWindow(ctx, options.dbFile);
    // No connection at all: the start-up has said so; running on nothing would lose every answer.
    if (!mainWindow.Context().db->IsOpen()) return 1;
    // The progress window is the last of the windows; it stays hidden until a long operation.
    ProgressWindow progress;
    progress.Create();
    ScopedAppProgress useProgress(&progress);
    InstallTerminationHandler(&mainWindow, [&mainWindow] { mainWindow.close(); });
    mainWindow.show();
    return app.exec();
}

}  // namespace lq
