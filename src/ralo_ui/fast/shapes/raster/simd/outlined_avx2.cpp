// The outline's corner square for AVX2 and FMA, and the squares' mirror test and copy: eight pixels per step.
#include "dispatch.hpp"
#include "lanes8.hpp"

#include "../outlined_mirror.hpp"
#include "../outlined_rows.hpp"
#include "../portable.hpp"

#if FS_X86_64
#if !FS_AVX2_FMA_UNIT
#error "this unit is compiled for AVX2 and FMA only (-mavx2 -mfma, or /arch:AVX2): see CMakeLists.txt"
#endif

#include <immintrin.h>

// Everything here is in fs::simd::avx2, and what is not an entry of the table has internal
// linkage too: no function compiled for AVX2 can stand in for a baseline one at link time.
namespace fs::simd::avx2 {
namespace {

using outlined::frame_row;
using outlined::paint;
using outlined::put;
using outlined::row_values;
using outlined::scalar_row;
using outlined::stroke;
using outlined::target;

// Eight pixels per step (the schedule and the truncation are lanes8.hpp's, which states
// their contracts), lane i being pixel x0 + first + i, with the scalar row's operations in
// its order, each correctly rounded as there: max_ps(a, b) is `a > b ? a : b` and
// min_ps(a, b) `a < b ? a : b`, NaN and signed zeros included; the root is taken in every
// lane and kept where the scalar row takes it; NGT_UQ is `!(a > b)`; lanes8::trunc_low8
// gives trunc_to_int32's low eight bits.  Accepted pixels are written in ascending x,
// colour then alpha, as in the scalar row, whatever bytes they share.
FS_ALWAYS_INLINE void vector_row(target t, stroke s, paint c, int64_t y, int64_t x0, int64_t n,
                                 row_values rv) noexcept {
    const __m256 zero = _mm256_setzero_ps();
    const __m256 half = _mm256_set1_ps(0.5f);
    const __m256 minus_half = _mm256_set1_ps(-0.5f);
    const __m256i full_alpha = _mm256_set1_epi32(c.alpha);
    const __m256 center_x = _mm256_set1_ps(s.center_x);
    const __m256 centerline_w = _mm256_set1_ps(s.centerline_w);
    const __m256 center_radius = _mm256_set1_ps(s.center_radius);
    const __m256 half_width = _mm256_set1_ps(s.half_width);
    const __m256 cutoff = _mm256_set1_ps(s.cutoff);
    const __m256 alpha_mult = _mm256_set1_ps(s.alpha_mult);
    const __m256 dy = _mm256_set1_ps(rv.dy);
    const __m256 dy_pos = _mm256_set1_ps(rv.dy_pos);
    const __m256 dy_sq = _mm256_set1_ps(rv.dy_sq);
    const bool rooted_row = rv.dy_pos > 0.0f;

    for (int64_t start = 0; start < n; start += 8) {
        const auto [first, fresh] = lanes8::step_at(start, n);
        const int64_t x = x0 + first;  // x + 7 < w <= INT32_MAX
        const __m256 xf = lanes8::columns(static_cast<int32_t>(x));
        const __m256 dx = _mm256_sub_ps(lanes8::abs(_mm256_sub_ps(xf, center_x)), centerline_w);
        __m256 dist = _mm256_max_ps(dy_pos, dx);
        if (rooted_row) {
            const __m256 root = _mm256_sqrt_ps(_mm256_fmadd_ps(dx, dx, dy_sq));
            dist = _mm256_blendv_ps(dist, root, _mm256_cmp_ps(dx, zero, _CMP_GT_OQ));
        }
        const __m256 inside = _mm256_min_ps(_mm256_max_ps(dy, dx), zero);
        const __m256 signed_dist = _mm256_add_ps(_mm256_sub_ps(inside, center_radius), dist);
        const __m256 dist_from_edge = lanes8::abs(signed_dist);
        const __m256 alpha_f = _mm256_sub_ps(half_width, dist_from_edge);
        const __m256 accepted = _mm256_and_ps(_mm256_cmp_ps(dist_from_edge, cutoff, _CMP_NGT_UQ),
                                              _mm256_cmp_ps(alpha_f, minus_half, _CMP_GT_OQ));
        const unsigned write = static_cast<unsigned>(_mm256_movemask_ps(accepted)) & fresh;
        if (write == 0) continue;

        const __m256i a = lanes8::trunc_low8(_mm256_mul_ps(_mm256_add_ps(alpha_f, half), alpha_mult));
        const __m256 full = _mm256_cmp_ps(alpha_f, half, _CMP_GE_OQ);
        const uint64_t bytes = lanes8::low_bytes(_mm256_blendv_epi8(a, full_alpha, _mm256_castps_si256(full)));
        for (unsigned bits = write; bits != 0; bits &= bits - 1) {
            const int i = portable::lowest_bit(bits);
            put(t, c, x + i, y, static_cast<uint8_t>(bytes >> (8 * i)));
        }
    }
}

void corner(const target& t, const stroke& s, const paint& c, int64_t x0, int64_t y0, int64_t n) noexcept {
    for (int64_t y = y0; y < y0 + n; ++y) {
        if (n >= 8) {
            vector_row(t, s, c, y, x0, n, frame_row(s, y));
        } else {
            scalar_row(t, s, c, y, x0, x0 + n, frame_row(s, y));
        }
    }
}

// A square row's eight-word steps: the last one ends at the row's end, overlapping the one
// before it, which reads or copies the same words again.  Rows of at least eight words.
FS_ALWAYS_INLINE int64_t step_start(int64_t start, int64_t box) noexcept { return start + 8 > box ? box - 8 : start; }

}  // namespace

bool squares_mirrored(const packed_pixels& px, int64_t W, int64_t H, int64_t box) noexcept {
    if (box < 8) return outlined::squares_mirrored_by_pairs(px, W, H, box);
    for (int64_t y = 0; y < box; ++y) {
        const outlined::square_rows r(px, W, H, y);
        __m256i differ = _mm256_setzero_si256();
        for (int64_t start = 0; start < box; start += 8) {
            const int64_t x = step_start(start, box);
            const __m256i words = lanes8::load_words(r.top_left + 4 * x);
            const __m256i mirrored = lanes8::reversed(words);
            const __m256i top_right = lanes8::load_words(r.top_right_end - 4 * (x + 7));
            const __m256i bottom_left = lanes8::load_words(r.bottom_left + 4 * x);
            const __m256i bottom_right = lanes8::load_words(r.bottom_right_end - 4 * (x + 7));
            differ = _mm256_or_si256(differ, _mm256_or_si256(_mm256_xor_si256(top_right, mirrored),
                                                             _mm256_xor_si256(bottom_right, mirrored)));
            differ = _mm256_or_si256(differ, _mm256_xor_si256(bottom_left, words));
        }
        if (!_mm256_testz_si256(differ, differ)) return false;
    }
    return true;
}

void mirror_top_left(const packed_pixels& px, int64_t W, int64_t H, int64_t box) noexcept {
    if (box < 8) return outlined::mirror_top_left_by_pairs(px, W, H, box);
    for (int64_t y = 0; y < box; ++y) {
        const outlined::square_rows r(px, W, H, y);
        for (int64_t start = 0; start < box; start += 8) {
            const int64_t x = step_start(start, box);
            const __m256i words = lanes8::load_words(r.top_left + 4 * x);
            lanes8::store_words(r.bottom_left + 4 * x, words);
            lanes8::store_words(r.top_right_end - 4 * (x + 7), lanes8::reversed(words));
            lanes8::store_words(r.bottom_right_end - 4 * (x + 7), lanes8::reversed(words));
        }
    }
}

void outlined_corner(const target& t, const stroke& s, const paint& c, int64_t x0, int64_t y0, int64_t n) noexcept {
    corner(t, s, c, x0, y0, n);
}

}  // namespace fs::simd::avx2

#endif
