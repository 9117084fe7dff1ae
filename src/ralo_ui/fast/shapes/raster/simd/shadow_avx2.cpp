// The soft shadow's tails and dot product for AVX2: eight lanes with the baseline's operations.
#include "dispatch.hpp"

#include "../portable.hpp"

#if FS_X86_64
#if !FS_AVX2_FMA_UNIT
#error "this unit is compiled for AVX2 and FMA only (-mavx2 -mfma, or /arch:AVX2): see CMakeLists.txt"
#endif

#include <immintrin.h>

namespace fs::simd::avx2 {
namespace {

// Eight floats as shadow_math.hpp's lane type: each operation the single correctly rounded
// instruction that the scalar operator or helper performs per lane (add, sub, mul, div;
// min_ps(a, b) is `a < b ? a : b` and max_ps(a, b) is `a > b ? a : b`, as the scalar ones).
// No fused multiply-add is written, and the build lets the compiler form none.
struct lanes {
    __m256 v;
    lanes() = default;
    explicit lanes(float f) : v(_mm256_set1_ps(f)) {}
    lanes(__m256 x) : v(x) {}  // the intrinsics return __m256
};
FS_ALWAYS_INLINE lanes operator+(lanes a, lanes b) { return _mm256_add_ps(a.v, b.v); }
FS_ALWAYS_INLINE lanes operator-(lanes a, lanes b) { return _mm256_sub_ps(a.v, b.v); }
FS_ALWAYS_INLINE lanes operator*(lanes a, lanes b) { return _mm256_mul_ps(a.v, b.v); }
FS_ALWAYS_INLINE lanes operator/(lanes a, lanes b) { return _mm256_div_ps(a.v, b.v); }
FS_ALWAYS_INLINE lanes min(lanes a, lanes b) { return _mm256_min_ps(a.v, b.v); }
FS_ALWAYS_INLINE lanes max(lanes a, lanes b) { return _mm256_max_ps(a.v, b.v); }
FS_ALWAYS_INLINE lanes round_integral(lanes v) {
    const __m256 shifter = _mm256_set1_ps(12582912.0f);
    return _mm256_sub_ps(_mm256_add_ps(v.v, shifter), shifter);
}
// k is integral and in [-126, 127]: the conversion is exact, as the scalar cast is.
FS_ALWAYS_INLINE lanes exp2_integral(lanes k) {
    const __m256i biased = _mm256_add_epi32(_mm256_cvttps_epi32(k.v), _mm256_set1_epi32(127));
    return _mm256_castsi256_ps(_mm256_slli_epi32(biased, 23));
}

}  // namespace
}  // namespace fs::simd::avx2

// Included after the lane type's operations, so that the templates find them.
#include "../shadow_math.hpp"

namespace fs::simd::avx2 {

void shadow_tails(const float* z, float* q, float* g, std::size_t n) noexcept {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        lanes vq, vg;
        shadow::tails(lanes(_mm256_loadu_ps(z + i)), vq, vg);
        _mm256_storeu_ps(q + i, vq.v);
        _mm256_storeu_ps(g + i, vg.v);
    }
    if (i == n) return;
    // The last few through a full vector of copies: lanes are independent.
    alignas(32) float in[8] = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f}, oq[8], og[8];
    for (std::size_t j = 0; i + j < n; ++j) in[j] = z[i + j];
    lanes vq, vg;
    shadow::tails(lanes(_mm256_load_ps(in)), vq, vg);
    _mm256_store_ps(oq, vq.v);
    _mm256_store_ps(og, vg.v);
    for (std::size_t j = 0; i + j < n; ++j) {
        q[i + j] = oq[j];
        g[i + j] = og[j];
    }
}

// Lane l sums the products l, l + 8, l + 16, ...; the last partial step adds exact zeros in
// the lanes past the end.  The eight sums are then added as the baseline adds them:
// ((0 + 4) + (2 + 6)) + ((1 + 5) + (3 + 7)).
float shadow_dot(const float* a, const float* b, std::size_t n) noexcept {
    __m256 acc = _mm256_setzero_ps();
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) acc = _mm256_add_ps(acc, _mm256_mul_ps(_mm256_loadu_ps(a + i), _mm256_loadu_ps(b + i)));
    if (i < n) {
        const int left = static_cast<int>(n - i);
        const __m256i mask = _mm256_cmpgt_epi32(_mm256_set1_epi32(left), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
        const __m256 va = _mm256_maskload_ps(a + i, mask), vb = _mm256_maskload_ps(b + i, mask);
        acc = _mm256_add_ps(acc, _mm256_mul_ps(va, vb));
    }
    const __m128 four = _mm_add_ps(_mm256_castps256_ps128(acc), _mm256_extractf128_ps(acc, 1));
    const __m128 two = _mm_add_ps(four, _mm_movehl_ps(four, four));
    return _mm_cvtss_f32(_mm_add_ss(two, _mm_shuffle_ps(two, two, 1)));
}

// Eight columns a step, each lane the baseline's column: k_u sum, less each node's product in
// node order (a multiply, then a subtract: no fused operation).  The last columns run as the
// baseline runs them.
void shadow_cut_row(const float* a, std::size_t nodes, const float* k, std::size_t stride, const float* k_u, float sum,
                    float* out, std::size_t n) noexcept {
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        __m256 d = _mm256_mul_ps(_mm256_loadu_ps(k_u + i), _mm256_set1_ps(sum));
        for (std::size_t j = 0; j < nodes; ++j)
            d = _mm256_sub_ps(d, _mm256_mul_ps(_mm256_set1_ps(a[j]), _mm256_loadu_ps(k + j * stride + i)));
        _mm256_storeu_ps(out + i, d);
    }
    for (; i < n; ++i) {
        float d = k_u[i] * sum;
        for (std::size_t j = 0; j < nodes; ++j) d -= a[j] * k[j * stride + i];
        out[i] = d;
    }
}

}  // namespace fs::simd::avx2

#endif
