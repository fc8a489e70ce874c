#pragma once
// The progress of a long operation on the user-interface thread (module import, rebuild of the
// word statistics, import of old data): a caption text, a position and a maximum.
//
// The core reports through AppProgress(); the program installs the progress window there
// (ui/TProgressFrm.h), and without one the reports go nowhere, so the core and its tests
// run without a display.
#include <chrono>
#include <functional>
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

// When the progress window paints its reports. Its callers report once per item, far more often
// than anyone can read, and each painting costs more than most items, so a report is painted at
// once only when it is the first since the window was shown, when it starts or ends a loop
// (position 0 or below, or maximum - 1 and beyond) with something new to show, or when the
// interval has passed since the last painting; any other report waits (Pending) for the next
// painting, the window's trailing timer or its hiding. A report that repeats what was painted
// (the same text, position and maximum) needs no painting.
class ProgressRepaintThrottle {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Clock = std::function<TimePoint()>;
    static constexpr std::chrono::milliseconds kInterval{33};  // about 30 paintings a second

    // `clock` null: the steady clock.
    explicit ProgressRepaintThrottle(Clock clock = nullptr, std::chrono::milliseconds interval = kInterval);

    // A report arrives (`textChanged`: its text differs from the report before); true when it is
    // to be painted now, which counts as painted.
    bool Report(int position, int maximum, bool textChanged);
    bool Pending() const { return pending_; }
    // How long until a pending report is due (zero when it is due now).
    std::chrono::milliseconds UntilDue() const;
    void Painted();  // the latest report was painted by other means (trailing timer, hiding)
    void Restart();  // the window was hidden: its next report is painted at once

private:
    Clock clock_;
    std::chrono::milliseconds interval_;
    bool fresh_ = true;    // nothing painted since the window was shown
    bool pending_ = false;
    bool textChanged_ = false;  // since the last painting
    int position_ = 0, maximum_ = 0;                  // the latest report
    int paintedPosition_ = 0, paintedMaximum_ = 0;    // the one painted last
    TimePoint paintedAt_{};
};

// The percentage text of the progress window: (position * 100) / maximum in single precision,
// "%.2f" and then "/%" ("37.50/%" for 3 of 8). A maximum of 0 reads "0.00/%".
std::string ProgressPercentText(int position, int maximum);

}  // namespace lq
