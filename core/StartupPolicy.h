#pragma once
// What the windowed program does with its database at start-up: the open that tells the learner
// of a failure, the totals read into the learning state, the score history's pruning.
#include <string>

namespace lq {

class Database;
struct CurrentRow;
struct LearnState;

inline constexpr const char* kDefaultDatabaseName = "QV_01.db";

// The windowed start-up's open of `path`. When it cannot be opened the learner is told
// ("Can't open database: %s") and QV_01.db in `programDir` is opened instead, unless that is
// the same file (so a broken file is reported once). False when no connection could be had at
// all (that has been reported too).
bool OpenAtStartup(Database& db, const std::string& path, const std::string& programDir);

// Opens `programDir`/QV_01.db when no connection is open, then reads ItemCount and Score
// (an empty history leaves Score as it was). False when there is no connection.
bool OpenDatabaseAndTotals(Database& db, const std::string& programDir, LearnState& state, CurrentRow& row);

// Keeps the 16385 newest rows of the score history (and those sharing the boundary date) once
// it holds more than 16640; returns the row count afterwards.
int PruneAnswerHistory(Database& db, CurrentRow& row);

}  // namespace lq
