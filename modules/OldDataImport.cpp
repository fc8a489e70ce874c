#include "modules/OldDataImport.h"

#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <optional>
#include <vector>

#include "core/Progress.h"
#include "core/Score.h"
#include "core/SqlText.h"
#include "core/Transaction.h"
#include "modules/ImportModule.h"
#include "modules/ModuleFiles.h"
#include "modules/ModuleFolder.h"
#include "platform/CNumbers.h"
#include "platform/Cp1251.h"
#include "platform/DateTime.h"
#include "platform/FileNames.h"
#include "platform/Prompter.h"

namespace lq {
namespace {

struct Failure {
    SqlResult why;
};

const SqlResult& Check(const SqlResult& r) {
    if (!r.ok()) throw Failure{r};
    return r;
}

const std::string& LineOrEmpty(const std::vector<std::string>& lines, size_t i) {
    static const std::string empty;
    return i < lines.size() ? lines[i] : empty;
}

// The sentences of each module: indexes into the sorted record list, highest position first,
// only the first record of each (module, position) and only positions 0 .. n-1.
std::vector<std::vector<size_t>> SentencesByModule(const std::vector<OldIndexRecord>& sorted, size_t moduleCount) {
    std::vector<std::vector<size_t>> byModule(moduleCount);
    const long long n = static_cast<long long>(sorted.size());
    for (size_t k = 0; k < sorted.size(); ++k) {
        const OldIndexRecord& r = sorted[k];
        if (r.position < 0 || r.position >= n || r.module < 0 || static_cast<size_t>(r.module) >= moduleCount) continue;
        std::vector<size_t>& list = byModule[static_cast<size_t>(r.module)];
        // Equal positions lie side by side in the sorted list; the first one counts.
        if (!list.empty() && sorted[list.back()].position == r.position) continue;
        list.push_back(k);
    }
    return byModule;
}

// A module name the folder Data/ can hold: a file name with its extension, no folder.
bool UsableModuleName(const std::string& name) {
    return name.size() >= 5 && name.find_first_of("/\\") == std::string::npos;
}

long long MaxAnswerId(const Database& db) {
    long long id = 0;
    Check(db.Query("SELECT max(ididnt) FROM answcn;", [&](int n, char** v, char**) {
        if (n > 0 && v[0]) id = CAtoll(v[0]);
    }));
    return id;
}

constexpr long long kImportCacheKiB = 128 * 1024;

// The connection's page cache set to `kib` for the object's lifetime, then as it was.
class CacheSize {
public:
    CacheSize(Database& db, long long kib) : db_(db) {
        db_.Query("PRAGMA cache_size;", [this](int n, char** v, char**) {
            if (n > 0 && v[0]) previous_ = v[0];
        });
        if (!previous_.empty()) db_.Exec(Sql("PRAGMA cache_size=-%lld;", kib));
    }
    ~CacheSize() {
        if (!previous_.empty()) db_.Exec("PRAGMA cache_size=" + previous_ + ";");
    }
    CacheSize(const CacheSize&) = delete;
    CacheSize& operator=(const CacheSize&) = delete;

private:
    Database& db_;
    std::string previous_;
};

class OldDataImporter {
public:
    OldDataImporter(Database& db, const OldDataFiles& files, const std::string& dataDir, int inputAfter,
                    Progress& progress)
        : db_(db), files_(files), dataDir_(dataDir), inputAfter_(inputAfter), progress_(progress) {}

    void Run(OldDataImportResult& result) {
        progress_.ShowProgress("Sorting", 0, 100);
        std::vector<OldIndexRecord> sorted = files_.index;
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const OldIndexRecord& a, const OldIndexRecord& b) { return a.position > b.position; });
        const std::vector<std::vector<size_t>> byModule = SentencesByModule(sorted, files_.modules.size());

        // The whole import is one transaction of tens of megabytes: a page cache that holds it
        // keeps the engine from spilling pages to the file before the commit.
        const CacheSize cache(db_, kImportCacheKiB);
        Transaction txn(db_);
        Check(txn.Begin(Transaction::Mode::Exclusive));
        for (size_t i = 0; i < files_.modules.size(); ++i) ImportModuleLine(i, sorted, byModule[i], result);
        ImportWords(result);
        ImportPoints(result);
        Check(txn.Commit());
    }

private:
    void ImportModuleLine(size_t i, const std::vector<OldIndexRecord>& sorted, const std::vector<size_t>& sentences,
                          OldDataImportResult& result) {
        const OldModuleLine line = ParseOldModuleLine(files_.modules[i]);
        const std::string name = NameToCp1251(line.name);  // stored in the program's encoding
        if (!UsableModuleName(name)) return;
        const SqlValue<bool> added = IsModuleAdded(db_, name);
        if (!added.ok()) throw Failure{added.error};
        if (added.value || FindModuleFile(dataDir_, name).empty()) return;

        Check(db_.ExecCached("INSERT INTO sounds (isigns, icodes, sfname) values(?, ?, ?);",
                             {line.isigns, static_cast<long long>(i) + 10000, name}));
        const long long soundId = db_.LastInsertRowId();
        ++result.modules;

        const int n = static_cast<int>(std::min<size_t>(sorted.size(), INT32_MAX));
        const std::string progressText = "Module " + std::to_string(i) + " (" + std::to_string(files_.modules.size()) + ")";
        for (const size_t k : sentences) {
            const OldIndexRecord& r = sorted[k];
            const size_t p = static_cast<size_t>(r.position);
            const OldSigns signs = ParseOldSigns(LineOrEmpty(files_.items, 5 * p + 2));
            const OldImagesRecord pictures = p < files_.images.size() ? files_.images[p] : OldImagesRecord{};
            const double answered = OldDateStamp(r.day, r.time);
            const double next = answered + OldInterval(r.igansw, r.irng_2, inputAfter_);
            Check(db_.ExecCached(
                "INSERT INTO items2 (isound, isndbg, isndfn, isigns, irange, irng_2, iaansw, igansw, dtansw, dtansn, "
                "iplace, isntbf, isntaf, strbef, stract, straft, strtrn, strind, ipicnm, ipic_1, ipic_2, ipic_3, "
                "ipic_4, ipic_5) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?);",
                {soundId, r.isndbg, r.isndfn, signs.isigns, r.irange, static_cast<int>(r.irng_2),
                 static_cast<int>(r.iaansw), static_cast<int>(r.igansw), DateText(answered), DateText(next),
                 10 * static_cast<long long>(k), -1, -1, EscapeApostrophes(LineOrEmpty(files_.items, 5 * p)),
                 EscapeApostrophes(LineOrEmpty(files_.items, 5 * p + 1)),
                 EscapeApostrophes(LineOrEmpty(files_.items, 5 * p + 3)),
                 EscapeApostrophes(LineOrEmpty(files_.items, 5 * p + 4)), signs.strind, pictures.count,
                 pictures.pictures[0], pictures.pictures[1], pictures.pictures[2], pictures.pictures[3],
                 pictures.pictures[4]}));
            ++result.sentences;
            progress_.ShowProgress(progressText, n - 1 - r.position, n);
        }
    }

    void ImportWords(OldDataImportResult& result) {
        const int count = static_cast<int>(files_.words.size());
        for (int i = 0; i < count; ++i) {
            const OldWordRecord& w = files_.words[static_cast<size_t>(i)];
            const std::string word = OldStoredWord(w.word);
            if (!word.empty()) {
                // A word that wrdstt holds (LookupWordStat's test: the same stored form) keeps its
                // row; the test is part of the one prepared insert, so a word costs one statement.
                result.words += Check(db_.ExecCached("INSERT INTO wrdstt (icount, ianswr, istate, twordd) SELECT ?, ?, ?, ? "
                                                     "WHERE NOT EXISTS (SELECT 1 FROM wrdstt WHERE twordd=?);",
                                                     {w.icount, w.ianswr, w.istate, word, word}))
                                    .changes;
            }
            progress_.ShowProgress("Words statistic", i, count);
        }
    }

    void ImportPoints(OldDataImportResult& result) {
        // Only the history held before this import decides what is there already.
        const long long before = MaxAnswerId(db_);
        const int count = static_cast<int>(files_.points.size());
        double previous = -1.0;
        for (int i = 0; i < count; ++i) {
            const OldAnswerPoint& point = files_.points[static_cast<size_t>(i)];
            if (std::isfinite(point.day)) {
                double moment = kOldDayZero + static_cast<double>(point.day);
                if (previous >= moment) moment = previous + 0.0001;
                previous = moment;
                const std::string date = DateText(moment);
                result.points += Check(db_.ExecCached("INSERT INTO answcn (glrang, isentn, dtdate, glansn) SELECT ?, ?, ?, ? "
                                                      "WHERE NOT EXISTS (SELECT 1 FROM answcn WHERE dtdate=? AND ididnt<=?);",
                                                      {StoredNumberText(point.glrang), point.isentn, date,
                                                       StoredNumberText(point.glansn), date, before}))
                                     .changes;
            }
            progress_.ShowProgress("Answers", i, count);
        }
    }

    Database& db_;
    const OldDataFiles& files_;
    const std::string& dataDir_;
    const int inputAfter_;
    Progress& progress_;
};

QString ImportCaption() { return QString::fromLatin1(kImportCaption); }

}  // namespace

OldDataImportResult ImportOldData(Database& db, const OldDataFiles& files, const std::string& dataDir,
                                  int inputAfter, Progress& progress) {
    struct HideOnExit {
        Progress& p;
        ~HideOnExit() { p.HideProgress(); }
    } hideOnExit{progress};
    OldDataImportResult result;
    try {
        OldDataImporter(db, files, dataDir, inputAfter, progress).Run(result);
    } catch (const Failure& f) {
        result = OldDataImportResult{};
        result.error = f.why;
        if (result.error.message.empty()) result.error.message = "unknown database error";
    }
    return result;
}

bool RunOldDataImport(Database& db, const std::string& programDir, int inputAfter, Progress& progress,
                      Prompter& prompter) {
    if (!OldDataPresent(programDir)) return false;
    progress.ShowProgress("Reading data", 0, 100);
    std::optional<std::string> failure;  // what the learner is told when nothing was imported
    try {
        const OldDataFiles files = ReadOldData(programDir);
        if (files.status == OldDataFiles::Status::Unreadable) {
            progress.HideProgress();
            prompter.Show(QStringLiteral("Cannot read the file ") + QString::fromLocal8Bit(files.unreadable) +
                              QStringLiteral(". Nothing was imported."),
                          ImportCaption(), MsgIcon::Error);
            return false;
        }
        if (files.status != OldDataFiles::Status::Ok) {
            progress.HideProgress();
            return false;
        }
        const OldDataImportResult result =
            ImportOldData(db, files, JoinPath(programDir, kModuleFolder), inputAfter, progress);
        if (!result.ok()) failure = result.error.message;
    } catch (const std::exception& e) {
        progress.HideProgress();
        failure = e.what();
    }
    if (failure) {
        prompter.Show(QStringLiteral("The old data were not imported (nothing was changed): ") +
                          QString::fromUtf8(failure->c_str()),
                      ImportCaption(), MsgIcon::Error);
    }
    return !failure;
}

}  // namespace lq
