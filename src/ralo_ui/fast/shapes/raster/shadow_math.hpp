// The shadow's special functions, written once for a scalar float and for a vector of floats.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace fs::shadow {
// Internal linkage on purpose (as corners_rows.hpp): the baseline unit and the AVX2 unit each
// compile their own copy with their own flags, and the linker cannot merge them.
namespace {

// The scalar lane type's operations.
inline float min(float a, float b) { return a < b ? a : b; }
inline float max(float a, float b) { return a > b ? a : b; }
// For |v| < 2^22: adding and subtracting 1.5 * 2^23 rounds v to the nearest integer (ties
// to even) in two correctly rounded additions, which the vector unit repeats lane by lane.
inline float round_integral(float v) {
    constexpr float shifter = 12582912.0f;
    return (v + shifter) - shifter;
}
inline float exp2_integral(float k) {
    const int32_t bits = (static_cast<int32_t>(k) + 127) * (1 << 23);  // k is integral, in range
    float out;
    std::memcpy(&out, &bits, sizeof out);
    return out;
}

// Both functions below are written over a lane type L: `float` in the baseline unit, eight
// floats in the AVX2 unit (simd/shadow_avx2.cpp), which supplies the same operations for its
// vector type.  Every step is one IEEE single-precision operation (+, -, *, /, min, max, each
// correctly rounded; no fused multiply-add, which the build does not contract either), taken
// in the same order in both, so both units give the same bits.  The C library's erf and exp
// are not used: their last bits differ between platforms.
//
// Single precision is enough: a pixel's value is a sum of terms of at most 1 whose errors
// are a few units in the last place (about 1e-7 each); the bytes need 2e-3.
//
// What the lane type provides, besides + - * /:
//   L(float) (that value in every lane), L min(L, L), L max(L, L),
//   L round_integral(L)  (to an integer-valued float by the 1.5 * 2^23 trick: two additions),
//   L exp2_integral(L)   (2^k for an integer-valued k in [-126, 127], built from its bits).

// e^x for x in [-88, 0]: x = k ln 2 + f with |f| <= ln 2 / 2, e^f by a degree-6 polynomial
// (a minimax fit, relative error below 2e-7 on that range), scaled by 2^k.  ln 2 is split
// into a high part of 9 bits, so that k * ln2_hi is exact for |k| < 2^15, and the rest.
template <class L>
inline L exp_neg(L x) {
    x = max(x, L(-87.0f));
    const L k = round_integral(x * L(1.44269504f));
    const L f = (x - k * L(0.693359375f)) - k * L(-2.12194440e-4f);
    L p = L(1.9875691500e-4f);
    p = p * f + L(1.3981999507e-3f);
    p = p * f + L(8.3334519073e-3f);
    p = p * f + L(4.1665795894e-2f);
    p = p * f + L(1.6666665459e-1f);
    p = p * f + L(5.0000001201e-1f);
    const L e = (p * (f * f) + f) + L(1.0f);
    return e * exp2_integral(k);
}

// The two tails a pixel's value is made of, for z >= 0 (z is clamped to [0, 12]; beyond,
// both are below 1e-32):
//   q = Phi(-z), the standard normal's upper tail, by the Chebyshev-fitted form
//       erfc(x) = t exp(-x^2 + P(t)), t = 1 / (1 + x/2), x = z / sqrt(2)
//       (fractional error below 1.2e-7 for every x >= 0);
//   g = phi(z) - z Phi(-z), the integral of the upper tail from z on (the Gaussian's
//       ramp F at -z), which goes to 0 like phi(z) / z^2.
template <class L>
inline void tails(L z, L& q, L& g) {
    z = min(max(z, L(0.0f)), L(12.0f));
    const L x = z * L(0.707106781f);
    const L t = L(1.0f) / (L(1.0f) + L(0.5f) * x);
    L p = L(0.17087277f);
    p = p * t + L(-0.82215223f);
    p = p * t + L(1.48851587f);
    p = p * t + L(-1.13520398f);
    p = p * t + L(0.27886807f);
    p = p * t + L(-0.18628806f);
    p = p * t + L(0.09678418f);
    p = p * t + L(0.37409196f);
    p = p * t + L(1.00002368f);
    p = p * t + L(-1.26551223f);
    q = L(0.5f) * (t * exp_neg((L(0.0f) - x * x) + p));
    const L density = L(0.398942280f) * exp_neg(L(-0.5f) * (z * z));
    g = max(density - z * q, L(0.0f));
}

}  // namespace
}  // namespace fs::shadow
