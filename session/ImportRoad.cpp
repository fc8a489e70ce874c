#include "session/ImportRoad.h"

#include "core/BusyWait.h"
#include "core/StartupPolicy.h"
#include "modules/ImportModule.h"
#include "platform/FileNames.h"
#include "session/Session.h"

namespace lq {

int RunImportRoad(const std::string& programDir, const std::string& argument) {
    ProgramEnv env;
    env.ProgramDir = programDir;
    // "-dbfile" and "-debug" have no effect here: always QV_01.db of the program folder.
    Session session(env, JoinPath(programDir, kDefaultDatabaseName));
    // Opening the file, reading its totals and the import wait for a lock once, together.
    BusyBudget budget(kBusyTimeoutMs);
    const OperationWait wait(session.Db(), budget);
    if (!session.OpenDatabase() || !session.ReadTotals()) return kImportFailed;
    return ImportModule(session.Db(), programDir, argument, session.State());
}

}  // namespace lq
