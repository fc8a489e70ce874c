#include "main/Progress.h"

#include "platform/CNumbers.h"

namespace lq {
namespace {

NoProgress g_noProgress;
Progress* g_progress = nullptr;

}  // namespace

Progress& AppProgress() { return g_progress ? *g_progress : g_noProgress; }
void SetAppProgress(Progress* progress) { g_progress = progress; }

ScopedAppProgress::ScopedAppProgress(Progress* progress) : previous_(g_progress) { g_progress = progress; }
ScopedAppProgress::~ScopedAppProgress() { g_progress = previous_; }

void ShowProgress(const std::string& text, int position, int maximum) {
    AppProgress().ShowProgress(text, position, maximum);
}
void HideProgress() { AppProgress().HideProgress(); }

std::string ProgressPercentText(int position, int maximum) {
    if (maximum == 0) return "0.00/%";
    // Each step rounded to single precision, as the window has always computed it.
    const float scaled = static_cast<float>(position) * 100.0f;
    const float percent = scaled / static_cast<float>(maximum);
    return FormatFixed(static_cast<double>(percent), 2) + "/%";
}

}  // namespace lq
