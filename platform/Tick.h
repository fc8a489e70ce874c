#pragma once
// Clocks for timing: a millisecond tick counter that wraps like the platform's 32-bit one,
// a high-resolution counter, and sleeping.
#include <cstdint>

namespace lq {

uint32_t TickCountMs();         // milliseconds since an arbitrary start, wrapping at 2^32
double PerformanceSeconds();    // monotonic seconds with sub-microsecond resolution
void SleepMs(int milliseconds);

}  // namespace lq
