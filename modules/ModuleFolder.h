#pragma once
// What the folder Data/ holds against what the database holds: the module files found ignoring
// letter case, the modules already stored, and the module chooser's listing.
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/Database.h"

namespace lq {

// The regular file `name` in `dir`, the name in either encoding (ResolveNameCi: the exact name
// first, then ignoring ASCII case); "" when there is none (a folder of that name does not count).
std::string FindModuleFile(const std::string& dir, const std::string& name);

// The keys (ModuleKey) of the stored modules, read once. The one duplicate rule, for the
// chooser, "-additems" and the old data alike: a module is added when the key of one of its
// file names equals a stored module's key.
class AddedModules {
public:
    // With the engine's failure when the query fails.
    static SqlValue<AddedModules> Read(const Database& db);
    // `fileName`: any of the module's file names ("unit07.txt", "unit07.mp3"), in either encoding.
    bool Contains(std::string_view fileName) const;

private:
    std::unordered_set<std::string> keys_;
};

// The status lines of the full listing (UTF-8).
inline constexpr const char* kModuleCanBeAdded = "  Модуль можно добавить";
inline constexpr const char* kModuleAlreadyAdded = "  Модуль уже добавлен";
inline constexpr const char* kModuleFilesMissing = "  Нет файла(ов): *.pos *.mp3";

enum class ModuleState { CanBeAdded, AlreadyAdded, FilesMissing };

struct ModuleFileState {
    std::string textName;  // the sentence file's bare name as the folder spells it
    ModuleState state;
};

// Every sentence file of `dataDir` (a regular file whose name ends in ".txt", any letter case),
// sorted ignoring ASCII case (then by the bytes, so the order is stable), with its state. A
// missing folder has none. With the engine's failure (and no files) when the database cannot be
// read.
SqlValue<std::vector<ModuleFileState>> ScanModuleFolder(const std::string& dataDir, const Database& db);

// The chooser's lines: without `showAll` the names of the modules that can be added; with it
// every sentence file, each followed by its status line. File names are the folder's bytes.
struct ModuleListing {
    std::vector<std::string> lines;
    SqlResult error;  // the engine's failure when the database could not be read (no lines then)
};
ModuleListing ListModules(const std::string& dataDir, const Database& db, bool showAll);

}  // namespace lq
