#include "modules/ImportModule.h"

#include <QString>
#include <vector>

#include "core/AppState.h"
#include "core/BusyWait.h"
#include "core/CurrentRow.h"
#include "core/Progress.h"
#include "core/Transaction.h"
#include "modules/ModuleFiles.h"
#include "modules/ModuleFolder.h"
#include "platform/Cp1251.h"
#include "platform/DateTime.h"
#include "platform/FileNames.h"
#include "platform/Prompter.h"

namespace lq {
namespace {

ImportResult Refuse(Prompter& prompter, ImportResult code, const QString& text, MsgIcon icon) {
    prompter.Show(text, QString::fromLatin1(kImportCaption), icon);
    return code;
}

QString MissingFilesText(const std::string& sound, const std::string& index) {
    const std::string folder = std::string(kModuleFolder) + "/";
    return QStringLiteral("There is no needed files: ") + FromName(folder + sound) + QStringLiteral(" or ") +
           FromName(folder + index) + QStringLiteral(" !");
}

// For the message about a name that is no module's: the name with its extension (if any)
// replaced by `ext`.
std::string WithExtension(const std::string& name, const char* ext) {
    const size_t dot = name.rfind('.');
    const size_t slash = name.find_last_of("/\\");
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? name.substr(0, dot) : name) + "." + ext;
}

// "Cannot read Data/unit07.pos: Permission denied", the file named as the folder spells it.
std::string UnreadableText(const std::string& path, const std::string& reason) {
    const size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return "Cannot read " + std::string(kModuleFolder) + "/" + name + ": " + reason;
}

const std::string& LineOrEmpty(const std::vector<std::string>& lines, long long i) {
    static const std::string empty;
    return (i >= 0 && i < static_cast<long long>(lines.size())) ? lines[static_cast<size_t>(i)] : empty;
}

}  // namespace

SqlValue<bool> IsModuleAdded(const Database& db, std::string_view fileName) {
    const SqlValue<AddedModules> added = AddedModules::Read(db);
    if (!added.ok()) return {false, added.error};
    return {added.value.Contains(fileName), {}};
}

ModuleImporter::ModuleImporter(Database& db, std::string programDir)
    : db_(db), programDir_(std::move(programDir)) {}

ImportResult ModuleImporter::Import(const std::string& textName, int& itemCount) {
    Prompter& prompter = prompter_ ? *prompter_ : AppPrompter();
    Progress& progress = progress_ ? *progress_ : AppProgress();
    SystemClock systemClock;
    Clock& clock = clock_ ? *clock_ : systemClock;
    // The whole import waits at most once for another program's lock; then it gives up with the
    // engine's message, having stored nothing.
    const OperationWait wait(db_);

    // The names in the program's encoding: the stored name is cp1251, and FindModuleFile finds
    // the files by their UTF-8 names.
    const std::string name = NameToCp1251(textName);
    const std::optional<ModuleNames> names = ModuleNames::FromTextName(name);
    if (!names) {
        return Refuse(prompter, kImportFilesMissing,
                      MissingFilesText(WithExtension(name, "mp3"), WithExtension(name, "pos")), MsgIcon::Warning);
    }

    // Decided before any file is looked at.
    const SqlValue<bool> added = IsModuleAdded(db_, names->text);
    if (!added.ok()) {
        return Refuse(prompter, kImportFailed,
                      QStringLiteral("SQL error: ") + QString::fromUtf8(added.error.message.c_str()), MsgIcon::Error);
    }
    if (added.value) {
        return Refuse(prompter, kImportAlreadyAdded, QStringLiteral("These items are already added!"),
                      MsgIcon::None);
    }

    const std::string dataDir = JoinPath(programDir_, kModuleFolder);
    const std::string soundPath = FindModuleFile(dataDir, names->sound);
    const std::string indexPath = FindModuleFile(dataDir, names->index);
    if (soundPath.empty() || indexPath.empty()) {
        return Refuse(prompter, kImportFilesMissing, MissingFilesText(names->sound, names->index), MsgIcon::Warning);
    }

    // A sentence or translation file that is not there has no lines (without sentences nothing is
    // usable); a module file that is there but cannot be read fails the import before anything
    // is stored, with the file and the system's reason.
    std::string reason;
    const auto cannotRead = [&](const std::string& path) {
        return Refuse(prompter, kImportFailed, QString::fromLocal8Bit(UnreadableText(path, reason)), MsgIcon::Error);
    };
    const auto readIfThere = [&reason](const std::string& path) {
        return path.empty() ? std::optional<std::string>(std::string()) : ReadFileBytes(path, SIZE_MAX, &reason);
    };
    const std::string textPath = ResolveNameCi(dataDir, names->text);
    const std::optional<std::string> text = readIfThere(textPath);
    if (!text) return cannotRead(textPath);
    const std::string translationPath = ResolveNameCi(dataDir, names->translation);
    const std::optional<std::string> translationText = readIfThere(translationPath);
    if (!translationText) return cannotRead(translationPath);
    const std::optional<std::string> posBytes = ReadFileBytes(indexPath, kPosFileSize, &reason);
    if (!posBytes) return cannotRead(indexPath);

    const std::vector<std::string> lines = SplitModuleLines(*text);
    const std::vector<std::string> translations = SplitModuleLines(*translationText);
    std::vector<PosRecord> records = ParsePosFile(*posBytes);
    const long long lineCount = static_cast<long long>(lines.size());
    if (static_cast<long long>(records.size()) > lineCount) records.resize(static_cast<size_t>(lineCount));

    int usable = 0;
    for (const PosRecord& r : records) usable += r.flag != 0 ? 1 : 0;
    if (usable == 0) {
        return Refuse(prompter, kImportNoData, QStringLiteral("There is no data in these files!"), MsgIcon::None);
    }

    auto fail = [&](const SqlResult& r) {
        progress.HideProgress();
        return Refuse(prompter, kImportFailed, QStringLiteral("SQL error: ") + QString::fromUtf8(r.message.c_str()),
                      MsgIcon::Error);
    };

    Transaction txn(db_);
    if (SqlResult r = txn.Begin(); !r.ok()) return fail(r);

    if (SqlResult r = db_.ExecCached("INSERT INTO sounds (isigns, icodes, sfname) values(?, ?, ?);",
                                         {1, 0, names->sound});
        !r.ok()) {
        return fail(r);
    }
    const long long soundId = db_.LastInsertRowId();
    if (SqlResult r = db_.ExecCached("UPDATE sounds set icodes=? WHERE ididnt=?;", {soundId + 10000, soundId});
        !r.ok()) {
        return fail(r);
    }

    CurrentRow row;
    row.iplace = 1000;
    if (SqlResult r = db_.Query("SELECT * FROM items2 ORDER BY iplace ASC LIMIT 0,1;", row); !r.ok()) return fail(r);
    const long long base = row.iplace;

    const int maximum = lineCount > INT32_MAX ? INT32_MAX : static_cast<int>(lineCount);
    for (size_t i = 0; i < records.size(); ++i) {
        const PosRecord& rec = records[i];
        const long long li = static_cast<long long>(i);
        if (rec.flag != 0) {
            const std::string now = DateText(clock.Now());
            const long long place = base - 10 * (lineCount + 1) + 5 * li;
            const std::string before = StoredSentenceText(LineOrEmpty(lines, li - 1));
            const std::string actual = StoredSentenceText(lines[i]);
            const std::string after = StoredSentenceText(LineOrEmpty(lines, li + 1));
            const std::string translation = StoredSentenceText(LineOrEmpty(translations, li));
            if (SqlResult r = db_.ExecCached(
                    "INSERT INTO items2 (isound, isndbg, isndfn, isigns, irange, irng_2, iaansw, igansw, dtansw, "
                    "dtansn, iplace, isntbf, isntaf, strbef, stract, straft, strtrn, strind, ipicnm, ipic_1, ipic_2, "
                    "ipic_3, ipic_4, ipic_5 )values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                    "?, ?);",
                    {soundId, rec.start, rec.end, 1, 0, 0, 0, 0, now, now, place, -1, -1, before, actual, after,
                     translation, std::string("0"), rec.pictureCount, rec.pictures[0], rec.pictures[1],
                     rec.pictures[2], rec.pictures[3], rec.pictures[4]});
                !r.ok())
                return fail(r);
        }
        progress.ShowProgress(kImportProgressText, static_cast<int>(i), maximum);
    }

    if (SqlResult r = txn.Commit(); !r.ok()) return fail(r);
    itemCount += usable;
    progress.HideProgress();
    return kImportDone;
}

ImportResult ImportModule(Database& db, const std::string& programDir, const std::string& textName, LearnState& state) {
    ModuleImporter importer(db, programDir);
    return importer.Import(textName, state.ItemCount);
}

}  // namespace lq
