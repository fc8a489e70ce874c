#include "modules/ModuleFolder.h"

#include <sys/stat.h>

#include <algorithm>

#include "modules/ModuleFiles.h"
#include "platform/FileNames.h"

namespace lq {
namespace {

bool IsRegularFile(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool HasTextExtension(std::string_view name) {
    return name.size() >= 4 && AsciiLowerText(name.substr(name.size() - 4)) == ".txt";
}

// The sentence files of the folder, sorted ignoring ASCII case, then by their bytes.
std::vector<std::string> SentenceFiles(const FolderIndex& folder) {
    std::vector<std::pair<std::string, std::string>> keyed;
    for (const std::string& name : folder.Names()) {
        if (HasTextExtension(name) && folder.IsRegularFile(name)) keyed.emplace_back(AsciiLowerText(name), name);
    }
    std::sort(keyed.begin(), keyed.end());
    std::vector<std::string> names;
    names.reserve(keyed.size());
    for (auto& k : keyed) names.push_back(std::move(k.second));
    return names;
}

// Whether `folder` has the module file `name` by FindModuleFile's rule.
bool HasModuleFile(const FolderIndex& folder, const std::string& name) {
    return folder.IsRegularFile(folder.FindName(name));
}

}  // namespace

std::string FindModuleFile(const std::string& dir, const std::string& name) {
    const std::string path = ResolveNameCi(dir, name);
    return IsRegularFile(path) ? path : std::string();
}

SqlValue<AddedModules> AddedModules::Read(const Database& db) {
    SqlValue<AddedModules> added;
    added.error = db.Query("SELECT sfname FROM sounds;", [&](int n, char** values, char**) {
        if (n > 0 && values[0]) added.value.keys_.insert(ModuleKey(values[0]));
    });
    if (!added.ok()) added.value.keys_.clear();
    return added;
}

bool AddedModules::Contains(std::string_view fileName) const { return keys_.count(ModuleKey(fileName)) != 0; }

SqlValue<std::vector<ModuleFileState>> ScanModuleFolder(const std::string& dataDir, const Database& db) {
    const SqlValue<AddedModules> added = AddedModules::Read(db);
    if (!added.ok()) return {{}, added.error};
    // The folder is read once; every module's files are looked up in that one listing.
    const FolderIndex folder(dataDir);
    std::vector<ModuleFileState> states;
    for (std::string& name : SentenceFiles(folder)) {
        const std::optional<ModuleNames> names = ModuleNames::FromTextName(name);
        ModuleState state = ModuleState::FilesMissing;
        if (names && HasModuleFile(folder, names->index) && HasModuleFile(folder, names->sound))
            state = added.value.Contains(names->text) ? ModuleState::AlreadyAdded : ModuleState::CanBeAdded;
        states.push_back({std::move(name), state});
    }
    return {std::move(states), {}};
}

ModuleListing ListModules(const std::string& dataDir, const Database& db, bool showAll) {
    ModuleListing listing;
    const SqlValue<std::vector<ModuleFileState>> states = ScanModuleFolder(dataDir, db);
    listing.error = states.error;
    for (const ModuleFileState& s : states.value) {
        if (!showAll) {
            if (s.state == ModuleState::CanBeAdded) listing.lines.push_back(s.textName);
            continue;
        }
        listing.lines.push_back(s.textName);
        listing.lines.emplace_back(s.state == ModuleState::CanBeAdded     ? kModuleCanBeAdded
                                   : s.state == ModuleState::AlreadyAdded ? kModuleAlreadyAdded
                                                                          : kModuleFilesMissing);
    }
    return listing;
}

}  // namespace lq
