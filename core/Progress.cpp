#include "core/Progress.h"

#include <algorithm>
#include <utility>

#include "platform/CNumbers.h"

namespace lq {
namespace {

NoProgress g_noProgress;
Progress* g_progress = nullptr;

}  // namespace

Progress& AppProgress() { return g_progress ? *g_progress : g_noProgress; }

ScopedAppProgress::ScopedAppProgress(Progress* progress) : previous_(g_progress) { g_progress = progress; }
ScopedAppProgress::~ScopedAppProgress() { g_progress = previous_; }

void ShowProgress(const std::string& text, int position, int maximum) {
    AppProgress().ShowProgress(text, position, maximum);
}
void HideProgress() { AppProgress().HideProgress(); }

ProgressRepaintThrottle::ProgressRepaintThrottle(Clock clock, std::chrono::milliseconds interval)
    : clock_(clock ? std::move(clock) : Clock([] { return std::chrono::steady_clock::now(); })), interval_(interval) {}

bool ProgressRepaintThrottle::Report(int position, int maximum, bool textChanged) {
    position_ = position;
    maximum_ = maximum;
    textChanged_ = textChanged_ || textChanged;
    const bool news = fresh_ || textChanged_ || position != paintedPosition_ || maximum != paintedMaximum_;
    if (!news) return false;
    const TimePoint now = clock_();
    const bool edge = position <= 0 || position >= maximum - 1;
    if (fresh_ || edge || now - paintedAt_ >= interval_) {
        paintedAt_ = now;
        fresh_ = false;
        pending_ = false;
        textChanged_ = false;
        paintedPosition_ = position;
        paintedMaximum_ = maximum;
        return true;
    }
    pending_ = true;
    return false;
}

std::chrono::milliseconds ProgressRepaintThrottle::UntilDue() const {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(paintedAt_ + interval_ - clock_());
    return std::max(left, std::chrono::milliseconds::zero());
}

void ProgressRepaintThrottle::Painted() {
    paintedAt_ = clock_();
    pending_ = false;
    textChanged_ = false;
    paintedPosition_ = position_;
    paintedMaximum_ = maximum_;
}

void ProgressRepaintThrottle::Restart() {
    fresh_ = true;
    pending_ = false;
}

std::string ProgressPercentText(int position, int maximum) {
    if (maximum == 0) return "0.00/%";
    // Each step rounded to single precision, as the window has always computed it.
    const float scaled = static_cast<float>(position) * 100.0f;
    const float percent = scaled / static_cast<float>(maximum);
    return FormatFixed(static_cast<double>(percent), 2) + "/%";
}

}  // namespace lq
