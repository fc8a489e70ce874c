#pragma once
// The progress of a long operation on the user-interface thread (module import, rebuild of the
// word statistics, import of old data): a caption text, a position and a maximum.
//
// The core reports through AppProgress(); the program installs the progress window there
// (main/ui/TProgressFrm.h), and without one the reports go nowhere, so the core and its tests
// run without a display.
#include <string>

namespace lq {

class Progress {
public:
    virtual ~Progress() = default;
    // `text` is cp1251. Called once per item with the item's index and the item count.
    virtual void ShowProgress(const std::string& text, int position, int maximum) = 0;
    virtual void HideProgress() = 0;
};

// Reports nothing.
class NoProgress final : public Progress {
public:
    void ShowProgress(const std::string&, int, int) override {}
    void HideProgress() override {}
};

// The process-wide progress reporter (a NoProgress unless one is installed).
Progress& AppProgress();
void SetAppProgress(Progress* progress);  // nullptr restores the default

// Installs `progress` for its lifetime and restores the one before.
class ScopedAppProgress {
public:
    explicit ScopedAppProgress(Progress* progress);
    ~ScopedAppProgress();
    ScopedAppProgress(const ScopedAppProgress&) = delete;
    ScopedAppProgress& operator=(const ScopedAppProgress&) = delete;

private:
    Progress* previous_;
};

// The callers' spelling: forward to AppProgress().
void ShowProgress(const std::string& text, int position, int maximum);
void HideProgress();

// The percentage text of the progress window: (position * 100) / maximum in single precision,
// "%.2f" and then "/%" ("37.50/%" for 3 of 8). A maximum of 0 reads "0.00/%".
std::string ProgressPercentText(int position, int maximum);

}  // namespace lq
