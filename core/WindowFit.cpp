#include "core/WindowFit.h"

#include <algorithm>
#include <cstdint>

namespace lq {
namespace {

// One axis: the client length within [minimum, room - extra] and the start such that
// [start, start + length + extra) lies in [areaStart, areaStart + room). 64-bit sums, so that no
// stored value can overflow them.
void FitAxis(int wantedStart, int wantedLength, int areaStart, int room, int extra, int minimum, int& start,
             int& length) {
    const int64_t smallest = std::max(1, minimum);
    const int64_t largest = std::max<int64_t>(smallest, int64_t{room} - std::max(0, extra));
    const int64_t len = std::clamp<int64_t>(wantedLength, smallest, largest);
    const int64_t lastStart = std::max<int64_t>(areaStart, int64_t{areaStart} + room - len - std::max(0, extra));
    start = static_cast<int>(std::clamp<int64_t>(wantedStart, areaStart, lastStart));
    length = static_cast<int>(len);
}

}  // namespace

WindowGeometry FitWindowToArea(const WindowGeometry& wanted, const ScreenArea& area, const WindowFrame& frame) {
    WindowGeometry shown;
    FitAxis(wanted.Left, wanted.Width, area.Left, area.Width, frame.ExtraWidth, frame.MinWidth, shown.Left,
            shown.Width);
    FitAxis(wanted.Top, wanted.Height, area.Top, area.Height, frame.ExtraHeight, frame.MinHeight, shown.Top,
            shown.Height);
    return shown;
}

}  // namespace lq
