// Compositing over 4-byte pixels for AVX2: eight pixels a step with the plain loop's operations.
#include "dispatch.hpp"

#include "../blend.hpp"
#include "../portable.hpp"

#if FS_X86_64
#if !FS_AVX2_FMA_UNIT
#error "this unit is compiled for AVX2 and FMA only (-mavx2 -mfma, or /arch:AVX2): see CMakeLists.txt"
#endif

#include <immintrin.h>

namespace fs::simd::avx2 {
namespace {

// The sample at bit `shift` of each 32-bit pixel, as a float.
FS_ALWAYS_INLINE __m256 sample(__m256i px, __m128i shift) {
    return _mm256_cvtepi32_ps(_mm256_and_si256(_mm256_srl_epi32(px, shift), _mm256_set1_epi32(0xff)));
}

// blend::to_byte per lane (v >= 0: truncation is the scalar cast), at bit `shift`.
FS_ALWAYS_INLINE __m256i placed(__m256 v, __m128i shift) {
    const __m256 up = _mm256_min_ps(_mm256_add_ps(v, _mm256_set1_ps(0.5f)), _mm256_set1_ps(255.0f));
    return _mm256_sll_epi32(_mm256_cvttps_epi32(up), shift);
}

// Eight pixels; lanes whose source alpha is not above 0 keep their pixel, as the scalar
// loop leaves it.  (min_ps(x, 255) is `x < 255 ? x : 255`, as to_byte's.)
struct eight {
    const blend::paint& p;
    __m128i shift[4];
    __m256 color[3];
    __m256i written;  // the bits of the samples the blend writes

    explicit eight(const blend::paint& paint) : p(paint) {
        const int off[4] = {p.at.red, p.at.green, p.at.blue, p.at.alpha};
        uint32_t mask = 0;
        for (int c = 0; c < 4; ++c) {
            const int o = off[c] < 0 ? 0 : off[c];
            shift[c] = _mm_cvtsi32_si128(8 * o);
            if (off[c] >= 0) mask |= 0xffu << (8 * o);
        }
        for (int c = 0; c < 3; ++c) color[c] = _mm256_set1_ps(p.color[c]);
        written = _mm256_set1_epi32(static_cast<int>(mask));
    }

    FS_ALWAYS_INLINE void step(uint8_t* dst, const float* cov) const {
        const __m256i px = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst));
        const __m256 s = _mm256_mul_ps(_mm256_set1_ps(p.alpha), _mm256_loadu_ps(cov));
        __m256i out = _mm256_andnot_si256(written, px);
        if (p.at.alpha < 0) {
            for (int c = 0; c < 3; ++c) {
                const __m256 d = sample(px, shift[c]);
                const __m256 v = _mm256_add_ps(d, _mm256_mul_ps(s, _mm256_sub_ps(color[c], d)));
                out = _mm256_or_si256(out, placed(v, shift[c]));
            }
        } else {
            const __m256 da = _mm256_div_ps(sample(px, shift[3]), _mm256_set1_ps(255.0f));
            const __m256 keep = _mm256_mul_ps(da, _mm256_sub_ps(_mm256_set1_ps(1.0f), s));
            const __m256 a = _mm256_add_ps(s, keep);
            for (int c = 0; c < 3; ++c) {
                const __m256 d = sample(px, shift[c]);
                const __m256 v = _mm256_div_ps(_mm256_add_ps(_mm256_mul_ps(color[c], s), _mm256_mul_ps(d, keep)), a);
                out = _mm256_or_si256(out, placed(v, shift[c]));
            }
            out = _mm256_or_si256(out, placed(_mm256_mul_ps(a, _mm256_set1_ps(255.0f)), shift[3]));
        }
        const __m256i drawn = _mm256_castps_si256(_mm256_cmp_ps(s, _mm256_setzero_ps(), _CMP_GT_OQ));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), _mm256_blendv_epi8(px, out, drawn));
    }
};

}  // namespace

// 3-byte pixels take the plain loop; 4-byte ones eight a step, the last few through it.
void blend_row(uint8_t* dst, const float* cov, std::size_t n, const blend::paint& p) noexcept {
    std::size_t i = 0;
    if (p.at.bytes == 4) {
        const eight e(p);
        for (; i + 8 <= n; i += 8) e.step(dst + 4 * i, cov + i);
    }
    blend::row_scalar(dst + i * static_cast<std::size_t>(p.at.bytes), cov + i, n - i, p);
}

}  // namespace fs::simd::avx2

#endif
