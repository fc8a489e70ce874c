#include "recorder/WaveletKernel.h"

#include <bit>
#include <cmath>
#include <cstring>

// The grid's inner loop evaluates an exponential, a sine and a cosine for every sample of every
// cell's support (about seven million per level-0 grid). It runs four samples at a time in
// vector registers, with float versions of e^x and sin/cos (Cody-Waite range reduction and the
// minimax polynomials of the Cephes library, within about one unit in the last place of the C
// library's results); the products and sums around them are the same float operations as the
// sample-by-sample definition.

namespace lq {
namespace {

typedef float V4 __attribute__((vector_size(16)));
typedef int32_t I4 __attribute__((vector_size(16)));

constexpr float kRoundMagic = 12582912.0f;  // 1.5 * 2^23: x + magic - magic rounds x to an integer

inline V4 Splat(float v) { return V4{v, v, v, v}; }

// Rounds each lane to the nearest integer (|x| < 2^22), as a float and as an integer.
inline V4 Bits(I4 v) { return std::bit_cast<V4>(v); }
inline I4 Ints(V4 v) { return std::bit_cast<I4>(v); }

inline __attribute__((always_inline)) void RoundLanes(V4 x, V4& asFloat, I4& asInt) {
    const V4 shifted = x + kRoundMagic;
    asInt = Ints(shifted) - Ints(Splat(kRoundMagic));
    asFloat = shifted - kRoundMagic;
}

// e^a for a <= 0 (0 below -87, where a float would lose its precision anyway).
inline __attribute__((always_inline)) V4 ExpNonPositive(V4 a) {
    const I4 inRange = a >= Splat(-87.0f);
    V4 nf;
    I4 n;
    RoundLanes(a * 1.44269504088896341f, nf, n);
    const V4 r = (a - nf * 0.693359375f) - nf * -2.12194440e-4f;
    const V4 z = r * r;
    const V4 p = (((((1.9875691500e-4f * r + 1.3981999507e-3f) * r + 8.3334519073e-3f) * r + 4.1665795894e-2f) * r +
                   1.6666665459e-1f) * r + 5.0000001201e-1f) * z + r + 1.0f;
    const I4 scale = (n + 127) << 23;
    return Bits(Ints(p * Bits(scale)) & inRange);
}

// sin x and cos x for |x| up to a few thousand radians.
inline __attribute__((always_inline)) void SinCos(V4 x, V4& sine, V4& cosine) {
    V4 qf;
    I4 q;
    RoundLanes(x * 0.636619772367581343f, qf, q);
    const V4 y = ((x - qf * 1.5703125f) - qf * 4.837512969970703125e-4f) - qf * 7.54978995489188216e-8f;
    const V4 z = y * y;
    const V4 s = ((-1.9515295891e-4f * z + 8.3321608736e-3f) * z - 1.6666654611e-1f) * z * y + y;
    const V4 c = ((2.443315711809948e-5f * z - 1.388731625493765e-3f) * z + 4.166664568298827e-2f) * z * z - 0.5f * z + 1.0f;
    // x = y + q * pi/2: odd quadrants swap sine and cosine, the signs follow the quadrant.
    const I4 swap = (q & 1) != 0;
    const I4 si = Ints(s), ci = Ints(c);
    const I4 sinBits = (ci & swap) | (si & ~swap);
    const I4 cosBits = (si & swap) | (ci & ~swap);
    sine = Bits(sinBits ^ ((q & 2) << 30));
    cosine = Bits(cosBits ^ (((q + 1) & 2) << 30));
}

struct Constants {
    V4 period, t, w, sqrtW, r;
};

// Four samples from index i: sum += s * sqrt(w) * env * (cos x, sin x) with x = w * (i*T - t).
inline __attribute__((always_inline)) void Accumulate(const Constants& k, V4 s, int i, V4& sumRe, V4& sumIm) {
    const V4 tau = (Splat(static_cast<float>(i)) + V4{0.0f, 1.0f, 2.0f, 3.0f}) * k.period - k.t;
    const V4 x = k.w * tau;
    const V4 env = ExpNonPositive(-x * x / k.r / k.r);
    V4 sine, cosine;
    SinCos(x, sine, cosine);
    sumRe += s * (k.sqrtW * (env * cosine));
    sumIm += s * (k.sqrtW * (env * sine));
}

// The sample-by-sample definition, for supports the vector functions do not serve.
WaveletComplex ScalarKernel(const float* samples, int first, int last, float t, float period, const WaveletRow& row,
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

}  // namespace

WaveletComplex WaveletKernel(const float* samples, int first, int last, float t, float period, const WaveletRow& row,
                             float r) {
    if (last <= first) return {};
    // Sample indexes stay exact as floats and the phase within the range the reduction serves.
    const float reach = std::fmax(std::fabs(static_cast<float>(first) * period - t),
                                  std::fabs(static_cast<float>(last + 4) * period - t));
    if (last > (1 << 23) || !(row.w * reach < 4000.0f)) return ScalarKernel(samples, first, last, t, period, row, r);

    const Constants k{Splat(period), Splat(t), Splat(row.w), Splat(row.sqrtW), Splat(r)};
    V4 sumRe = Splat(0.0f), sumIm = Splat(0.0f);
    int i = first;
    for (; i + 4 <= last; i += 4) {
        V4 s;
        std::memcpy(&s, samples + i, sizeof s);
        Accumulate(k, s, i, sumRe, sumIm);
    }
    if (i < last) {
        // The last one to three samples, padded with silence.
        float tail[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        std::memcpy(tail, samples + i, sizeof(float) * static_cast<size_t>(last - i));
        V4 s;
        std::memcpy(&s, tail, sizeof s);
        Accumulate(k, s, i, sumRe, sumIm);
    }
    return {(sumRe[0] + sumRe[1]) + (sumRe[2] + sumRe[3]), (sumIm[0] + sumIm[1]) + (sumIm[2] + sumIm[3])};
}

}  // namespace lq
