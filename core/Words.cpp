#include "core/Words.h"

#include <sqlite3.h>

#include <QtGlobal>

#include <array>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/CurrentRow.h"
#include "core/Database.h"
#include "core/Progress.h"
#include "core/SqlText.h"
#include "core/Transaction.h"
#include "platform/Cp1251.h"

namespace lq {
namespace {

struct ByteSet {
    std::array<bool, 256> in{};
    constexpr ByteSet(std::string_view members) {
        for (char c : members) in[static_cast<unsigned char>(c)] = true;
    }
    constexpr bool operator()(char c) const { return in[static_cast<unsigned char>(c)]; }
};

// The digits belong to both sets. The leading set lacks "!", ")", ";", "]", the right double
// quotation mark (0x94) and the right guillemet (0xBB); the right single quotation mark (0x92)
// is in neither, so it is left for the inner-mark pass.
constexpr ByteSet kLeading("\"#$&'(,-.0123456789:?[`\x93\x96\xAB");
constexpr ByteSet kTrailing("!\"#$&'(),-.0123456789:;?[]`\x93\x94\x96\xAB\xBB");

constexpr std::string_view kStopWords[] = {
    "am",     "an",      "and",    "\xE0nd",  "at",     "ain*t",  "aren*t", "couldn*t", "d*you",  "didn*t",
    "i*m",    "i*ll",    "i*d",    "i*ve",    "rd",     "th",     "the",    "to",       "wasn*t", "y*see",
};

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 0x20; }

// Occurrence counts in the order in which the words were first met.
struct WordCounter {
    std::unordered_map<std::string, int> index;
    std::vector<std::pair<std::string, int>> counts;
    void Add(const std::string& word) {
        auto [it, inserted] = index.try_emplace(word, static_cast<int>(counts.size()));
        if (inserted) counts.emplace_back(word, 0);
        ++counts[static_cast<size_t>(it->second)].second;
    }
};

// The words of one sentence, split at blanks from the right; consecutive blanks give empty
// words, which are skipped with everything shorter than two bytes and the stop words.
void CountSentence(std::string_view text, WordCounter& counter) {
    while (!text.empty()) {
        const size_t blank = text.rfind(' ');
        std::string_view word = blank == std::string_view::npos ? text : text.substr(blank + 1);
        text = blank == std::string_view::npos ? std::string_view() : text.substr(0, blank);
        const std::string stored = StoredWordForm(word);
        if (stored.size() < 2 || IsStopWord(stored)) continue;
        counter.Add(stored);
    }
}

}  // namespace

std::string NormalizeWord(std::string_view word) {
    std::string w(word);
    const size_t n = w.size();
    for (size_t i = 0; i < n && kLeading(w[i]); ++i) w[i] = ' ';
    for (size_t i = n; i > 0 && kTrailing(w[i - 1]); --i) w[i - 1] = ' ';
    for (char& c : w)
        if (c == '\'' || c == '\x92' || c == '-') c = '*';
    size_t b = 0, e = w.size();
    while (b < e && IsBlankOrControl(w[b])) ++b;
    while (e > b && IsBlankOrControl(w[e - 1])) --e;
    return w.substr(b, e - b);
}

std::string StoredWordForm(std::string_view word) { return Cp1251Lower(NormalizeWord(word)); }

bool IsStopWord(std::string_view word) {
    for (std::string_view s : kStopWords)
        if (s == word) return true;
    return false;
}

bool LookupWordStat(const Database& db, CurrentRow& row, const std::string& word, int& istate, int& icount) {
    row.ididnt = -1;
    db.QueryCached("SELECT * FROM wrdstt WHERE twordd=?;", {word}, row);
    if (row.ididnt <= 0) return false;
    istate = row.istate;
    icount = row.icount;
    return true;
}

SqlResult StoreWordMark(Database& db, const std::string& word, int istate) {
    return db.ExecCached("UPDATE wrdstt SET istate=? WHERE twordd=?;", {istate, word});
}

int CountWordStats(const Database& db, CurrentRow& row) {
    row.CountResult = 0;
    db.Query("SELECT count(*) FROM wrdstt;", row);
    return row.CountResult;
}

SqlValue<int> RebuildWordStatistics(Database& db, int itemCount) {
    return RebuildWordStatistics(db, itemCount, AppProgress());
}

SqlValue<int> RebuildWordStatistics(Database& db, int itemCount, Progress& progress) {
    SqlResult r;
    // Every way out of a failed rebuild: the engine's result for the caller.
    auto failed = [](const SqlResult& why) { return SqlValue<int>{0, why}; };
    if (!db.IsOpen()) return failed({SQLITE_MISUSE, "no database connection"});
    struct HideOnExit {
        Progress& p;
        ~HideOnExit() { p.HideProgress(); }
    } hideOnExit{progress};
    {
        Transaction tx(db);
        if (!(r = tx.Begin(Transaction::Mode::Exclusive)).ok()) return failed(r);
        // Every statement of the rebuild runs through the database's calls, inside the
        // transaction's scope: after a failure none of the later writes runs. So an index is
        // dropped only when it is there (its drop would fail on purpose otherwise).
        for (const auto& [name, drop] :
             {std::pair{"icount", "DROP INDEX icount;"}, std::pair{"ianswr", "DROP INDEX ianswr;"}}) {
            bool present = false;
            r = db.QueryCached("SELECT 1 FROM sqlite_master WHERE type='index' AND name=?;", {std::string(name)},
                               [&present](int, char**, char**) { present = true; });
            if (r.ok() && present) r = db.Exec(drop);
            if (!r.ok()) return failed(r);
        }
        if (!(r = db.Exec("UPDATE wrdstt SET icount=0;")).ok()) return failed(r);

        WordCounter counter;
        {
            int i = 0;
            r = db.Scan("SELECT stract FROM items2 ORDER BY ididnt;", [&](const ScanRow& read) {
                if (!read.IsNull(0))
                    CountSentence(UnescapeApostrophes(read.Text(0)), counter);
                progress.ShowProgress("Words statistic", i, itemCount);
                ++i;
            });
            if (!r.ok()) return failed(r);
        }

        for (const auto& [word, count] : counter.counts) {
            // The count of changed rows comes with the update, read before the sound thread's
            // next statement could change it.
            r = db.ExecCached("UPDATE wrdstt SET icount=?1 WHERE twordd=?2;", {count, word});
            if (r.ok() && r.changes == 0)
                r = db.ExecCached("INSERT INTO wrdstt (icount, ianswr, istate, twordd) values(?1, 0, 0, ?2);",
                                  {count, word});
            if (!r.ok()) return failed(r);
        }

        for (const char* sql : {"DELETE FROM wrdstt WHERE icount=0;", "CREATE INDEX icount ON wrdstt (icount);",
                                "CREATE INDEX ianswr ON wrdstt (ianswr);"})
            if (!(r = db.Exec(sql)).ok()) return failed(r);
        if (!(r = tx.Commit()).ok()) return failed(r);
    }
    db.Exec("VACUUM;");
    CurrentRow row;
    return {CountWordStats(db, row), {}};
}

}  // namespace lq
