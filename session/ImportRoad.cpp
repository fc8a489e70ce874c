#include "session/ImportRoad.h"

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
    if (!session.OpenDatabase() || !session.ReadTotals()) return kImportFailed;
    return ImportModule(session.Db(), programDir, argument, session.State());
}

}  // namespace lq
