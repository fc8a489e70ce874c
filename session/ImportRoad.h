#pragma once
// The "-additems" road: one module imported into QV_01.db of the program folder, no window.
#include <string>

namespace lq {

// Opens QV_01.db in `programDir` with the session's opener (creating it with its schema when it
// does not exist; a file that cannot be opened is told as at the windowed start-up), imports the
// module `argument` and returns its ImportResult as the exit code (kImportFailed without a
// database). Messages go through AppPrompter() (standard error without a display), progress
// through AppProgress(); no settings are read or written.
int RunImportRoad(const std::string& programDir, const std::string& argument);

}  // namespace lq
