#pragma once
// The inner loop of the wavelet grid: one inner product over a clamped support, with the row's
// constants computed once per row.
#include "recorder/Wavelet.h"

namespace lq {

struct WaveletRow {
    float f = 0.0f;       // log-frequency of the row
    float w = 0.0f;       // e^f
    float sqrtW = 0.0f;   // sqrt(w)
    float hOverT = 0.0f;  // the support's half-width in samples
};

// The sum over i in [first, last) of samples[i] * WaveletSample(i*period - t, row.f, r), with the
// same float arithmetic per sample as WaveletInnerProduct (the sum's order may differ).
// [first, last) must lie inside the samples.
WaveletComplex WaveletKernel(const float* samples, int first, int last, float t, float period, const WaveletRow& row,
                             float r);

}  // namespace lq
