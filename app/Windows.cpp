#include "app/Windows.h"

#include <QApplication>

#include "app/Application.h"
#include "session/Session.h"
#include "ui/TChooseModuleFrm.h"
#include "ui/TComentFrm.h"
#include "ui/TImagesFrm.h"
#include "ui/TProgressFrm.h"
#include "ui/TTessarinMF.h"

namespace lq {

int RunWindows(QApplication& app, const ProgramEnv& env, const ProgramOptions& options) {
    // The session before every window and after them: the windows' context points into it.
    Session session(env, options.dbFile);
    TTessarinMF mainWindow(session);
    // No connection at all: the start-up has said so; running on nothing would lose every answer.
    if (!session.Db().IsOpen()) return 1;
    // The other windows in their order: pictures, module chooser, comments, progress (the main
    // window creates the recorder with its own start-up). They read their geometry from the
    // loaded settings.
    const AppContext& ctx = session.Context();
    auto* imagesFrm = new TImagesFrm(ctx, &mainWindow);
    auto* chooseModuleFrm = new TChooseModuleFrm(ctx, &mainWindow);
    mainWindow.AttachModuleChooser(*chooseModuleFrm);
    auto* comentFrm = new TComentFrm(ctx, &mainWindow);
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
