// The rounded-corner alpha loop: a scalar reference, an AVX2 + FMA version, and the choice between them.
#include "corner_kernel.hpp"

#include "convert.hpp"
#include "cpu_features.hpp"
#include "lanes8.hpp"

#include <cmath>

namespace fs {
namespace {

// One corner square and the values formed once for it, each rounded once to
// single precision.  (k_w, k_h) moves the pixel's offset from the centre to its
// offset from the inner rectangle spanned by the corner circles' centres.
struct corner_frame {
    int32_t x0, y0, n;  // the n x n square whose top-left pixel is (x0, y0)
    float r;
    float k_w, k_h;
    float k_a;  // coverage = k_a - d = 0.5 - signed distance
};

// False when the corner is left square.
bool frame_corner(const alpha_plane& plane, const corner_geometry& g, int corner, corner_frame& f) noexcept {
    const float radii[4] = {g.top_left, g.top_right, g.bottom_left, g.bottom_right};
    const float r = radii[corner];
    if (!(r > 0.0f)) return false;  // zero, negative and NaN radii leave the corner square
    // The largest square side that keeps the four squares apart and inside the
    // plane.  Radii bounded by half the smaller dimension truncate to at most
    // this already; the clip makes the loop safe whatever radius arrives.
    const int32_t limit = (plane.width < plane.height ? plane.width : plane.height) / 2;
    // Side of the corner square: r truncated toward zero.  The comparison is
    // exact in double, and below it 0 < r < limit <= 2^30, so the cast is defined.
    const int32_t n = static_cast<double>(r) >= limit ? limit : static_cast<int32_t>(r);
    if (n == 0) return false;
    const bool right = corner == 1 || corner == 3;
    const bool bottom = corner >= 2;
    f = {right ? plane.width - n : 0, bottom ? plane.height - n : 0, n, r, r - g.half_w, r - g.half_h, r + 0.5f};
    return true;
}

// The per-row values: qy and m_y = max(qy, 0) squared, rounded on its own (not
// fused into anything).  Coordinates become floats before the subtraction:
// exact below 2^24, rounded to nearest on wider surfaces.
struct row_frame {
    float qy, m_y;
};
[[gnu::always_inline]] inline row_frame frame_row(const corner_geometry& g, const corner_frame& f, int32_t y) noexcept {
    const float qy = std::fabs(static_cast<float>(y) - g.center_y) + f.k_h;
    const float my0 = qy > 0.0f ? qy : 0.0f;
    return {qy, my0 * my0};
}

// The reference: pixels [x_begin, x_end) of one row, left to right.  Inlined
// into both versions below, so its fused multiply-add is the library call in
// one and the instruction in the other; each is rounded once.  The geometry
// comes by value: a local that no pixel byte can alias stays in registers.
template <edge_rule Rule>
[[gnu::always_inline]] inline void scalar_row(uint8_t* row, std::intptr_t sx, int32_t x_begin, int32_t x_end,
                                              corner_geometry g, corner_frame f, row_frame rf,
                                              float alpha) noexcept {
    for (int32_t x = x_begin; x < x_end; ++x) {
        const float qx = std::fabs(static_cast<float>(x) - g.center_x) + f.k_w;
        const float m_x = qx > 0.0f ? qx : 0.0f;
        // m_x * m_x + m_y with a single rounding; the square root in single precision.
        const float dist_outside = std::sqrt(std::fma(m_x, m_x, rf.m_y));
        const float q = qx > rf.qy ? qx : rf.qy;
        const float dist_inside = q < 0.0f ? q : 0.0f;
        const float d = dist_outside + dist_inside;
        const float signed_dist = d - f.r;
        uint8_t* const a = row + static_cast<std::intptr_t>(x) * sx;
        if (signed_dist >= 0.5f) {
            *a = 0;
        } else if (signed_dist > -0.5f) {
            const float coverage = f.k_a - d;
            const float value = Rule == edge_rule::scaled ? coverage * alpha : static_cast<float>(*a) * coverage;
            *a = static_cast<uint8_t>(trunc_to_int32(value));
        }
        // Otherwise the pixel lies inside and keeps its alpha.
    }
}

template <edge_rule Rule>
void corners_generic(const alpha_plane& plane, const corner_geometry& g, float alpha) noexcept {
    for (int corner = 0; corner < 4; ++corner) {
        corner_frame f;
        if (!frame_corner(plane, g, corner, f)) continue;
        for (int32_t y = f.y0; y < f.y0 + f.n; ++y) {
            uint8_t* const row = plane.data + static_cast<std::intptr_t>(y) * plane.y_stride;
            scalar_row<Rule>(row, plane.x_stride, f.x0, f.x0 + f.n, g, f, frame_row(g, f, y), alpha);
        }
    }
}

#if FS_HAVE_AVX2_FMA_PATH

// Eight pixels per step (the schedule and the truncation are lanes8.hpp's, which
// states their contracts), lane i being pixel x0 + first + i, with the scalar row's
// operations in its order, each correctly rounded as there:
//  - x converted to float (round to nearest), |x - center_x| by clearing the sign bit;
//  - max_ps(a, b) is `a > b ? a : b` and min_ps(a, b) is `a < b ? a : b`, the
//    scalar row's selections exactly, NaN and signed zeros included;
//  - one fused multiply-add and one correctly rounded square root;
//  - ordered comparisons, false for NaN like the scalar ones;
//  - truncation by lanes8::trunc_low8, trunc_to_int32's low eight bits.
// A step reads its eight pixels (kept rule) before writing any, then writes in
// ascending x: the scalar order's result as long as no two pixels of a row share a
// byte, that is x_stride != 0, which the caller checks.
template <edge_rule Rule>
FS_TARGET_AVX2_FMA [[gnu::always_inline]] inline void vector_row(uint8_t* row, std::intptr_t sx, corner_geometry g,
                                                                corner_frame f, row_frame rf, float alpha) noexcept {
    const __m256 zero = _mm256_setzero_ps();
    const __m256 half = _mm256_set1_ps(0.5f);
    const __m256 minus_half = _mm256_set1_ps(-0.5f);
    const __m256 center_x = _mm256_set1_ps(g.center_x);
    const __m256 k_w = _mm256_set1_ps(f.k_w);
    const __m256 k_a = _mm256_set1_ps(f.k_a);
    const __m256 r = _mm256_set1_ps(f.r);
    const __m256 qy = _mm256_set1_ps(rf.qy);
    const __m256 m_y = _mm256_set1_ps(rf.m_y);
    const __m256 scale = _mm256_set1_ps(alpha);

    for (int32_t start = 0; start < f.n; start += 8) {
        const auto [first, fresh] = lanes8::step_at(start, f.n);
        const int32_t x = f.x0 + first;  // x + 7 < width: no overflow
        const __m256 qx = _mm256_add_ps(lanes8::abs(_mm256_sub_ps(lanes8::columns(x), center_x)), k_w);
        const __m256 m_x = _mm256_max_ps(qx, zero);
        const __m256 dist_outside = _mm256_sqrt_ps(_mm256_fmadd_ps(m_x, m_x, m_y));
        const __m256 dist_inside = _mm256_min_ps(_mm256_max_ps(qx, qy), zero);
        const __m256 d = _mm256_add_ps(dist_outside, dist_inside);
        const __m256 signed_dist = _mm256_sub_ps(d, r);
        const __m256 outside = _mm256_cmp_ps(signed_dist, half, _CMP_GE_OQ);
        const __m256 on_ramp = _mm256_cmp_ps(signed_dist, minus_half, _CMP_GT_OQ);
        const unsigned write = static_cast<unsigned>(_mm256_movemask_ps(_mm256_or_ps(outside, on_ramp))) & fresh;
        if (write == 0) continue;  // all inside: nothing to write

        uint8_t* const p = row + static_cast<std::intptr_t>(x) * sx;
        const __m256 coverage = _mm256_sub_ps(k_a, d);
        __m256 value;
        if constexpr (Rule == edge_rule::scaled) {
            value = _mm256_mul_ps(coverage, scale);
        } else {
            alignas(32) int32_t old[8];
            for (int i = 0; i < 8; ++i) old[i] = p[static_cast<std::intptr_t>(i) * sx];
            value = _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_load_si256(reinterpret_cast<const __m256i*>(old))),
                                  coverage);
        }
        // Pixels outside get 0.
        const __m256i stored = _mm256_andnot_si256(_mm256_castps_si256(outside), lanes8::trunc_low8(value));
        const uint64_t bytes = lanes8::low_bytes(stored);
        for (unsigned bits = write; bits != 0; bits &= bits - 1) {
            const int i = __builtin_ctz(bits);
            p[static_cast<std::intptr_t>(i) * sx] = static_cast<uint8_t>(bytes >> (8 * i));
        }
    }
}

// Lanes `write` of `bytes` (lane i in byte i) to the pixels p, p + sx, ...,
// or with `down`, to p, p - sx, ...
FS_TARGET_AVX2_FMA [[gnu::always_inline]] inline void put_lanes(uint8_t* p, std::intptr_t sx, unsigned write,
                                                               uint64_t bytes) noexcept {
    for (unsigned bits = write; bits != 0; bits &= bits - 1) {
        const int i = __builtin_ctz(bits);
        p[static_cast<std::intptr_t>(i) * sx] = static_cast<uint8_t>(bytes >> (8 * i));
    }
}

// The scaled rule's row of the top-left corner square, stored as well at its
// mirror images: the same row of the top-right square read from the right
// (x -> width - 1 - x) and, at `bottom` (row height - 1 - y), of the bottom
// squares.  Valid when the four corners have one radius and both sides are
// at most 2^24: then |x - center_x| and |y - center_y| are exact and equal at
// mirrored pixels, so every value formed from them is.
FS_TARGET_AVX2_FMA [[gnu::always_inline]] inline void mirrored_row(uint8_t* top, uint8_t* bottom, std::intptr_t sx,
                                                                  int32_t width, corner_geometry g, corner_frame f,
                                                                  row_frame rf, float alpha) noexcept {
    const __m256 zero = _mm256_setzero_ps();
    const __m256 center_x = _mm256_set1_ps(g.center_x);
    const __m256 k_w = _mm256_set1_ps(f.k_w);
    const __m256 qy = _mm256_set1_ps(rf.qy);
    const __m256 m_y = _mm256_set1_ps(rf.m_y);
    const std::intptr_t last = static_cast<std::intptr_t>(width - 1) * sx;
    for (int32_t start = 0; start < f.n; start += 8) {
        const auto [first, fresh] = lanes8::step_at(start, f.n);
        const __m256 qx = _mm256_add_ps(lanes8::abs(_mm256_sub_ps(lanes8::columns(first), center_x)), k_w);
        const __m256 m_x = _mm256_max_ps(qx, zero);
        const __m256 dist_outside = _mm256_sqrt_ps(_mm256_fmadd_ps(m_x, m_x, m_y));
        const __m256 d = _mm256_add_ps(dist_outside, _mm256_min_ps(_mm256_max_ps(qx, qy), zero));
        const __m256 signed_dist = _mm256_sub_ps(d, _mm256_set1_ps(f.r));
        const __m256 outside = _mm256_cmp_ps(signed_dist, _mm256_set1_ps(0.5f), _CMP_GE_OQ);
        const __m256 on_ramp = _mm256_cmp_ps(signed_dist, _mm256_set1_ps(-0.5f), _CMP_GT_OQ);
        const unsigned write = static_cast<unsigned>(_mm256_movemask_ps(_mm256_or_ps(outside, on_ramp))) & fresh;
        if (write == 0) continue;
        const __m256 value = _mm256_mul_ps(_mm256_sub_ps(_mm256_set1_ps(f.k_a), d), _mm256_set1_ps(alpha));
        const __m256i stored = _mm256_andnot_si256(_mm256_castps_si256(outside), lanes8::trunc_low8(value));
        const uint64_t bytes = lanes8::low_bytes(stored);
        const std::intptr_t at = static_cast<std::intptr_t>(first) * sx;
        put_lanes(top + at, sx, write, bytes);
        put_lanes(top + last - at, -sx, write, bytes);
        put_lanes(bottom + at, sx, write, bytes);
        put_lanes(bottom + last - at, -sx, write, bytes);
    }
}

// The four corners from the top-left one's values when they are mirror
// images (see mirrored_row); false, with nothing written, when they are not.
FS_TARGET_AVX2_FMA bool mirrored_corners_avx2(const alpha_plane& plane, const corner_geometry& g,
                                              float alpha) noexcept {
    constexpr int32_t exact = int32_t{1} << 24;
    const float r = g.top_left;
    if (!(r == g.top_right && r == g.bottom_left && r == g.bottom_right) || plane.x_stride == 0 ||
        plane.width > exact || plane.height > exact)
        return false;
    corner_frame f;
    if (!frame_corner(plane, g, 0, f)) return true;  // every corner stays square
    if (f.n < 8) return false;
    for (int32_t y = 0; y < f.n; ++y) {
        uint8_t* const top = plane.data + static_cast<std::intptr_t>(y) * plane.y_stride;
        uint8_t* const bottom = plane.data + static_cast<std::intptr_t>(plane.height - 1 - y) * plane.y_stride;
        mirrored_row(top, bottom, plane.x_stride, plane.width, g, f, frame_row(g, f, y), alpha);
    }
    return true;
}

template <edge_rule Rule>
FS_TARGET_AVX2_FMA void corners_avx2(const alpha_plane& plane, const corner_geometry& g, float alpha) noexcept {
    if (Rule == edge_rule::scaled && mirrored_corners_avx2(plane, g, alpha)) return;
    for (int corner = 0; corner < 4; ++corner) {
        corner_frame f;
        if (!frame_corner(plane, g, corner, f)) continue;
        const bool wide = f.n >= 8 && plane.x_stride != 0;
        for (int32_t y = f.y0; y < f.y0 + f.n; ++y) {
            uint8_t* const row = plane.data + static_cast<std::intptr_t>(y) * plane.y_stride;
            if (wide) {
                vector_row<Rule>(row, plane.x_stride, g, f, frame_row(g, f, y), alpha);
            } else {
                scalar_row<Rule>(row, plane.x_stride, f.x0, f.x0 + f.n, g, f, frame_row(g, f, y), alpha);
            }
        }
    }
}

#endif

// Asks for the cache lines of every corner row at once.  A surface that pygame has
// just filled is mostly out of the caches; fetched one row at a time its lines
// would cost more than the arithmetic.  A hint only: nothing is read or written.
void prefetch_corners(const alpha_plane& plane, const corner_geometry& g) noexcept {
    for (int corner = 0; corner < 4; ++corner) {
        corner_frame f;
        if (!frame_corner(plane, g, corner, f)) continue;
        const std::intptr_t first = static_cast<std::intptr_t>(f.x0) * plane.x_stride;
        const std::intptr_t last = static_cast<std::intptr_t>(f.x0 + f.n - 1) * plane.x_stride;
        for (int32_t y = f.y0; y < f.y0 + f.n; ++y) {
            uint8_t* const row = plane.data + static_cast<std::intptr_t>(y) * plane.y_stride;
            prefetch(row + first);
            prefetch(row + last);
        }
    }
}

}  // namespace

void round_corners(const alpha_plane& plane, const corner_geometry& g, edge_rule rule, float alpha) noexcept {
    if (plane.width <= 0 || plane.height <= 0) return;
    prefetch_corners(plane, g);
#if FS_HAVE_AVX2_FMA_PATH
    if (cpu_has_avx2_fma) {
        if (rule == edge_rule::scaled) {
            corners_avx2<edge_rule::scaled>(plane, g, alpha);
        } else {
            corners_avx2<edge_rule::kept>(plane, g, alpha);
        }
        return;
    }
#endif
    if (rule == edge_rule::scaled) {
        corners_generic<edge_rule::scaled>(plane, g, alpha);
    } else {
        corners_generic<edge_rule::kept>(plane, g, alpha);
    }
}

}  // namespace fs
