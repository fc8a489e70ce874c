#include "recorder/WaveletKernel.h"

#include <cmath>

namespace lq {

WaveletComplex WaveletKernel(const float* samples, int first, int last, float t, float period, const WaveletRow& row,
                             float r) {
    WaveletComplex c;
    for (int i = first; i < last; ++i) {
        const float tau = static_cast<float>(i) * period - t;
        const float x = row.w * tau;
        const float env = std::exp(-x * x / r / r);
        c.re += samples[i] * (row.sqrtW * (env * std::cos(x)));
        c.im += samples[i] * (row.sqrtW * (env * std::sin(x)));
    }
    return c;
}

}  // namespace lq
