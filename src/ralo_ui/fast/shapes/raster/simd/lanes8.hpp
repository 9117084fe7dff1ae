// The AVX2 units' shared lane work: steps, columns, |x|, truncation to bytes, words and their mirror order.
#pragma once

// Only the AVX2 units (simd/*_avx2.cpp, compiled for AVX2 and FMA) include this header, and
// everything in it is always inlined into them, inside their own namespace.  Anywhere else it
// is empty.
#include "../portable.hpp"

#include <cstdint>

#if FS_AVX2_FMA_UNIT
#include <immintrin.h>

namespace fs::simd::avx2::lanes8 {

// One step of a row: lane i is pixel first + i of the row; `fresh` has bit i set for
// the lanes that no earlier step wrote.
template <class Int>
struct step {
    Int first;
    unsigned fresh;
};

// The step that `start` (0, 8, 16, ... below n) stands for in a row of n >= 8 pixels:
// ceil(n / 8) steps, eight pixels each.  The last starts at n - 8 and leaves alone the
// lanes that the step before it wrote already, so no pixel is written twice and none
// past the row's end is touched.
template <class Int>
FS_ALWAYS_INLINE step<Int> step_at(Int start, Int n) noexcept {
    if (start + 8 > n) {
        const Int first = n - 8;
        return {first, (0xffu << (start - first)) & 0xffu};
    }
    return {start, 0xffu};
}

// The columns x, x + 1, ..., x + 7 converted to float, each rounded to nearest as the
// scalar `static_cast<float>(x)` is.  The caller keeps x + 7 within int32.
FS_ALWAYS_INLINE __m256 columns(int32_t x) noexcept {
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    return _mm256_cvtepi32_ps(_mm256_add_epi32(_mm256_set1_epi32(x), lanes));
}

// std::fabs in every lane: clearing the sign bit, exact, NaN kept NaN.
FS_ALWAYS_INLINE __m256 abs(__m256 v) noexcept {
    return _mm256_and_ps(v, _mm256_castsi256_ps(_mm256_set1_epi32(0x7fffffff)));
}

// Truncation toward zero that agrees with trunc_to_int32 in the low eight bits of every
// lane.  cvttps gives INT_MIN wherever trunc_to_int32 saturates: the same value at or
// below -2^31, and for NaN (0 there) the same low eight bits; at or above 2^31, where
// trunc_to_int32 gives INT_MAX (low byte 0xff, not 0x00), INT_MAX is set by hand.
FS_ALWAYS_INLINE __m256i trunc_low8(__m256 v) noexcept {
    const __m256 too_large = _mm256_cmp_ps(v, _mm256_set1_ps(2147483648.0f), _CMP_GE_OQ);
    return _mm256_blendv_epi8(_mm256_cvttps_epi32(v), _mm256_set1_epi32(0x7fffffff), _mm256_castps_si256(too_large));
}

// Eight 4-byte words from p (any alignment), and back.
FS_ALWAYS_INLINE __m256i load_words(const uint8_t* p) noexcept {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
FS_ALWAYS_INLINE void store_words(uint8_t* p, __m256i v) noexcept {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// Lane i to lane 7 - i: eight pixels' words in the order their mirror images lie in memory.
FS_ALWAYS_INLINE __m256i reversed(__m256i v) noexcept {
    return _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0));
}

// The low byte of lane i as byte i of the result, kept in a register.
FS_ALWAYS_INLINE uint64_t low_bytes(__m256i v) noexcept {
    // Per 128-bit half: bytes 0, 4, 8 and 12 (the low bytes of its four lanes) to the
    // front; then the two halves' first four bytes side by side.
    const __m256i gather = _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, 0, 4, 8, 12,
                                            -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m256i packed =
        _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(v, gather), _mm256_setr_epi32(0, 4, 0, 0, 0, 0, 0, 0));
    return static_cast<uint64_t>(_mm_cvtsi128_si64(_mm256_castsi256_si128(packed)));
}

}  // namespace fs::simd::avx2::lanes8

#endif
