#pragma once
// The import of the older version's data (modules, sentences with their schedule and pictures,
// word statistics, score history) into the database, in one exclusive transaction: on any
// failure nothing of it stays.
#include <string>

#include "core/Database.h"
#include "modules/OldData.h"

namespace lq {

class Progress;
class Prompter;

struct OldDataImportResult {
    SqlResult error;  // the engine's failure (nothing was added then)
    bool ok() const { return error.ok(); }
    int modules = 0, sentences = 0, words = 0, points = 0;  // rows added
};

// Adds what `files` holds that the database does not hold yet: a module already stored (by the
// one duplicate rule), or whose sound is not in `dataDir`, is skipped with its sentences; a word
// already in wrdstt keeps its row; a score point whose moment the history held before is
// skipped, so a second import of the same data adds nothing. `inputAfter` sets the intervals of
// the sentences. Reports on `progress` and hides it at the end, whatever happens.
OldDataImportResult ImportOldData(Database& db, const OldDataFiles& files, const std::string& dataDir,
                                  int inputAfter, Progress& progress);

// The Setting page's "Import data from old version": nothing when a required file is missing;
// a file that cannot be read, or a failed import, is told through `prompter` and nothing is
// written. True when the data were imported (the program then restarts).
bool RunOldDataImport(Database& db, const std::string& programDir, int inputAfter, Progress& progress,
                      Prompter& prompter);

}  // namespace lq
