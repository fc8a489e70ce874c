#pragma once
// Import of one lesson module (Data/<name>.txt, .txr, .mp3, .pos) into the database: one row of
// `sounds` and one row of `items2` per usable sentence, all in one transaction.
#include <optional>
#include <string>
#include <string_view>

#include "core/Database.h"

namespace lq {

class Clock;
class Progress;
class Prompter;
struct LearnState;

// ImportModule's result; also the exit code of "-additems".
enum ImportResult : int {
    kImportDone = 0,          // imported
    kImportAlreadyAdded = 1,  // a module of that name is in the database
    kImportFilesMissing = 2,  // the sound or the index file is missing (or the name is no module's)
    kImportNoData = 3,        // no usable sentence
    kImportFailed = 4,        // a database error (everything rolled back), or a module file that cannot be read
};

inline constexpr const char* kImportCaption = "Ooops....";
inline constexpr const char* kImportProgressText = "Adding module";

// True when the module of `fileName` is stored (AddedModules: "UNIT07.txt" matches "unit07.mp3";
// "unit1.txt" does not match "unit10.mp3"). With the engine's failure when the query fails.
SqlValue<bool> IsModuleAdded(const Database& db, std::string_view fileName);

class ModuleImporter {
public:
    // Module files are looked for in programDir/Data, by exact name first, then ignoring case.
    ModuleImporter(Database& db, std::string programDir);

    // Where messages, progress and "now" go (defaults: AppPrompter(), AppProgress(), the system clock).
    void SetPrompter(Prompter* prompter) { prompter_ = prompter; }
    void SetProgress(Progress* progress) { progress_ = progress; }
    void SetClock(Clock* clock) { clock_ = clock; }

    // Imports the module whose sentence file is `textName` ("unit07.txt", no folder; in either
    // encoding: the module's name is stored in cp1251, NameToCp1251). Shows
    // the refusal's message box and returns its code; on success adds the new sentences to
    // `itemCount` (after the commit) and returns kImportDone.
    ImportResult Import(const std::string& textName, int& itemCount);

private:
    Database& db_;
    std::string programDir_;
    Prompter* prompter_ = nullptr;
    Progress* progress_ = nullptr;
    Clock* clock_ = nullptr;
};

// The import with the process-wide prompter and progress: adds to state.ItemCount.
ImportResult ImportModule(Database& db, const std::string& programDir, const std::string& textName, LearnState& state);

}  // namespace lq
