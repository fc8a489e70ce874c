#pragma once
// A program folder in a temporary directory (Data/ with the test module, QV_01.db), a recording
// progress and a fixed clock for the import tests.
#include <QString>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/Database.h"
#include "core/Progress.h"
#include "platform/DateTime.h"
#include "tests/support/SqlValues.h"
#include "tests/support/TempDir.h"

namespace lq::test {

class RecordingProgress final : public Progress {
public:
    struct Call {
        std::string text;
        int position;
        int maximum;
        bool operator==(const Call&) const = default;
    };
    void ShowProgress(const std::string& text, int position, int maximum) override {
        calls.push_back({text, position, maximum});
        shown = true;
    }
    void HideProgress() override {
        shown = false;
        ++hides;
    }
    std::vector<Call> calls;
    bool shown = false;
    int hides = 0;
};

class FixedClock final : public Clock {
public:
    explicit FixedClock(DateTime t) : t_(t) {}
    DateTime Now() override { return t_; }

private:
    DateTime t_;
};

// cp1251 bytes of a UTF-8 literal.
std::string Cp(const char* utf8);

// The folder of the committed test module (unit07.*).
std::string FixtureDir();
// The demo module's folder (Data/ of the source tree).
std::string DemoDir();

// A .pos file: N, the records (flag, start, end) and, when `pictures` is true, the picture table.
struct PosEntry {
    int32_t flag, start, end;
    int16_t pictures[6];
};
std::string MakePos(int32_t n, const std::vector<PosEntry>& entries, bool pictures = true);

// A program folder with an open database.
class ProgramFolder {
public:
    ProgramFolder();
    const std::string& Dir() const { return dir_.Path(); }
    std::string DataFile(const std::string& name) const { return dir_.Path() + "/Data/" + name; }
    // Copies the test module's files to Data/ as `base`.* (all five unless `skip` names one).
    void AddFixtureModule(const std::string& base, const std::string& skipExtension = "") const;
    void Write(const std::string& dataName, const std::string& bytes) const { dir_.Write("Data/" + dataName, bytes); }
    void Remove(const std::string& dataName) const;

    Database& Db() { return db_; }
    long long Count(const char* table) const;
    // Every column of every row of `table` as the engine returns them, in id order.
    std::vector<std::vector<std::string>> Rows(const char* table) const;

private:
    TempDir dir_;
    Database db_;
};

// What the learner gets of the first sentence (lowest ididnt) of `folder`'s database: the bytes
// of the WAVE image the sound builder makes of it (0 when there is none), its duration, and the
// number of its pictures that load.
struct FirstSentence {
    size_t waveBytes = 0;
    float durationMs = 0.0f;
    int pictures = 0;
};
FirstSentence PlayFirstSentence(ProgramFolder& folder);

}  // namespace lq::test
