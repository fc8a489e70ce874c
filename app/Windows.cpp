#include "app/Windows.h"

#include <QApplication>

#include "app/Application.h"
#include "core/AppContext.h"
#include "core/Database.h"
#include "ui/TChooseModuleFrm.h"
#include "ui/TComentFrm.h"
#include "ui/TImagesFrm.h"
#include "ui/TProgressFrm.h"
#include "ui/TTessarinMF.h"

namespace lq {

int RunWindows(QApplication& app, const ProgramEnv& envIn, const ProgramOptions& options) {
    ProgramEnv env = envIn;
    AppContext ctx;
    ctx.env = &env;
    TTessarinMF mainWindow(ctx, options.dbFile);
    // No connection at all: the start-up has said so; running on nothing would lose every answer.
    if (!mainWindow.Context().db->IsOpen()) return 1;
    // The other windows in their order: pictures, module chooser, comments, progress (the main
    // window creates the recorder with its own start-up). They read their geometry from the
    // loaded settings.
    auto* imagesFrm = new TImagesFrm(mainWindow.Context(), &mainWindow);
    auto* chooseModuleFrm = new TChooseModuleFrm(mainWindow.Context(), &mainWindow);
    mainWindow.AttachModuleChooser(*chooseModuleFrm);
    auto* comentFrm = new TComentFrm(mainWindow.Context(), &mainWindow);
    mainWindow.AttachPicturesWindow(*imagesFrm);
    mainWindow.AttachCommentsWindow(*comentFrm);
    // The progress window is the last; it stays hidden until a long operation.
    ProgressWindow progress;
    progress.Create();
    ScopedAppProgress useProgress(&progress);
    InstallTerminationHandler(&mainWindow, [&mainWindow] { mainWindow.close(); });
    mainWindow.show();
    return app.exec();
}

}  // namespace lq
