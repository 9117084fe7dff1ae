// The rounded-corner alpha loop: a scalar reference, an AVX2 + FMA version, and the choice between them.
#include "corner_kernel.hpp"

#include "checks.hpp"
#include "numeric.hpp"
#include "simd/cpu_features.hpp"
#include "simd/dispatch.hpp"
#include "simd/lanes8.hpp"

#include <cmath>
#include <initializer_list>

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
bool frame_corner(const planes& plane, const corner_geometry& g, int corner, corner_frame& f) noexcept {
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
    // The square lies inside the plane.
    FS_CHECK(n > 0 && 2 * n <= plane.width && 2 * n <= plane.height);
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
                                              corner_geometry g, corner_frame f, row_frame rf, float alpha) noexcept {
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
            *a = static_cast<uint8_t>(trunc_to_int32(static_cast<double>(value)));
        }
        // Otherwise the pixel lies inside and keeps its alpha.
    }
}

template <edge_rule Rule>
void corners_generic(const planes& plane, const corner_geometry& g, float alpha) noexcept {
    for (int corner = 0; corner < 4; ++corner) {
        corner_frame f;
        if (!frame_corner(plane, g, corner, f)) continue;
        for (int32_t y = f.y0; y < f.y0 + f.n; ++y) {
            uint8_t* const row = plane.alpha + static_cast<std::intptr_t>(y) * plane.alpha_y;
            scalar_row<Rule>(row, plane.alpha_x, f.x0, f.x0 + f.n, g, f, frame_row(g, f, y), alpha);
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
            value =
                _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_load_si256(reinterpret_cast<const __m256i*>(old))), coverage);
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

// True when every pixel of the alpha plane has a byte of its own: the order in
// which the corners are written then cannot change what they end as.
inline bool rows_apart(const planes& plane) noexcept {
    const auto size = [](std::intptr_t stride) { return stride < 0 ? -static_cast<int64_t>(stride) : int64_t{stride}; };
    const int64_t x = size(plane.alpha_x), y = size(plane.alpha_y);
    return x != 0 && y / x >= plane.width;
}

// Lanes `write` of `bytes` (lane i in byte i) to four places at once: p and q
// step forward, their mirror images p_mirror and q_mirror backward.  The lanes
// written are one run: along a corner row from the plane's edge inward the
// signed distance never increases (each operation forming it is monotonic and
// so is its rounding), so the pixels outside or on the ramp come first, and the
// step's fresh lanes are the last ones.
FS_TARGET_AVX2_FMA [[gnu::always_inline]] inline void put_mirrored(uint8_t* p, uint8_t* p_mirror, uint8_t* q,
                                                                   uint8_t* q_mirror, std::intptr_t sx, unsigned write,
                                                                   uint64_t bytes) noexcept {
    const int skip = __builtin_ctz(write);  // write != 0
    const unsigned run = write >> skip;
    FS_CHECK((run & (run + 1)) == 0);
    const std::intptr_t at = static_cast<std::intptr_t>(skip) * sx;
    p += at, p_mirror -= at, q += at, q_mirror -= at;
    bytes >>= 8 * skip;
    for (unsigned left = run; left != 0; left >>= 1, bytes >>= 8) {
        const auto value = static_cast<uint8_t>(bytes);
        *p = value, *p_mirror = value, *q = value, *q_mirror = value;
        p += sx, p_mirror -= sx, q += sx, q_mirror -= sx;
    }
}

// The scaled rule's row of the top-left corner square, stored as well at its
// mirror images: the same row of the top-right square read from the right
// (x -> width - 1 - x) and, at `bottom` (row height - 1 - y), of the bottom
// squares.  Valid when the four corners have one radius and both sides are
// at most 2^24: then |x - center_x| and |y - center_y| are exact and equal at
// mirrored pixels, so every value formed from them is.  `Side`, when not 0,
// is f.n known in advance: the column values then stay put across rows.
template <int32_t Side>
FS_TARGET_AVX2_FMA [[gnu::always_inline]] inline void mirrored_row(uint8_t* top, uint8_t* bottom, std::intptr_t sx,
                                                                   int32_t width, corner_geometry g, corner_frame f,
                                                                   row_frame rf, float alpha) noexcept {
    const __m256 zero = _mm256_setzero_ps();
    const __m256 center_x = _mm256_set1_ps(g.center_x);
    const __m256 k_w = _mm256_set1_ps(f.k_w);
    const __m256 qy = _mm256_set1_ps(rf.qy);
    const __m256 m_y = _mm256_set1_ps(rf.m_y);
    const std::intptr_t last = static_cast<std::intptr_t>(width - 1) * sx;
    const int32_t n = Side != 0 ? Side : f.n;
    for (int32_t start = 0; start < n; start += 8) {
        const auto [first, fresh] = lanes8::step_at(start, n);
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
        put_mirrored(top + at, top + last - at, bottom + at, bottom + last - at, sx, write, bytes);
    }
}

// Rows 0 .. f.n - 1 of the top-left square and their mirror images; `top` and
// `bottom` are the plane's first and last rows.
template <int32_t Side>
FS_TARGET_AVX2_FMA void mirrored_rows(uint8_t* top, uint8_t* bottom, std::intptr_t sx, std::intptr_t sy, int32_t width,
                                      const corner_geometry& g, const corner_frame& f, float alpha) noexcept {
    for (int32_t y = 0; y < f.n; ++y, top += sy, bottom -= sy)
        mirrored_row<Side>(top, bottom, sx, width, g, f, frame_row(g, f, y), alpha);
}

// The four corners from the top-left one's values when they are mirror
// images (see mirrored_row); false, with nothing written, when they are not.
FS_TARGET_AVX2_FMA bool mirrored_corners_avx2(const planes& plane, const corner_geometry& g, float alpha) noexcept {
    constexpr int32_t exact = int32_t{1} << 24;
    const float r = g.top_left;
    if (!(r == g.top_right && r == g.bottom_left && r == g.bottom_right) || !rows_apart(plane) || plane.width > exact ||
        plane.height > exact)
        return false;
    // The corners are mirror images only about the plane's own centre (exact in single below 2^24).
    if (g.center_x != static_cast<float>(plane.width - 1) * 0.5f ||
        g.center_y != static_cast<float>(plane.height - 1) * 0.5f)
        return false;
    corner_frame f;
    if (!frame_corner(plane, g, 0, f)) return true;  // every corner stays square
    if (f.n < 8) return false;
    // Passed as values: the byte stores could alias the plane's fields otherwise.
    uint8_t* const bottom = plane.alpha + static_cast<std::intptr_t>(plane.height - 1) * plane.alpha_y;
    if (f.n == 8) {  // small corners: one step of columns
        mirrored_rows<8>(plane.alpha, bottom, plane.alpha_x, plane.alpha_y, plane.width, g, f, alpha);
    } else {
        mirrored_rows<0>(plane.alpha, bottom, plane.alpha_x, plane.alpha_y, plane.width, g, f, alpha);
    }
    return true;
}

template <edge_rule Rule>
FS_TARGET_AVX2_FMA void corners_avx2(const planes& plane, const corner_geometry& g, float alpha) noexcept {
    if (Rule == edge_rule::scaled && mirrored_corners_avx2(plane, g, alpha)) return;
    for (int corner = 0; corner < 4; ++corner) {
        corner_frame f;
        if (!frame_corner(plane, g, corner, f)) continue;
        const bool wide = f.n >= 8 && plane.alpha_x != 0;
        for (int32_t y = f.y0; y < f.y0 + f.n; ++y) {
            uint8_t* const row = plane.alpha + static_cast<std::intptr_t>(y) * plane.alpha_y;
            if (wide) {
                vector_row<Rule>(row, plane.alpha_x, g, f, frame_row(g, f, y), alpha);
            } else {
                scalar_row<Rule>(row, plane.alpha_x, f.x0, f.x0 + f.n, g, f, frame_row(g, f, y), alpha);
            }
        }
    }
}

#endif

// Asks for the cache lines of every corner row at once.  A surface that pygame has
// just filled is mostly out of the caches; fetched one row at a time its lines
// would cost more than the arithmetic.  A hint only: nothing is read or written.
void prefetch_corners(const planes& plane, const corner_geometry& g) noexcept {
    for (int corner = 0; corner < 4; ++corner) {
        corner_frame f;
        if (!frame_corner(plane, g, corner, f)) continue;
        const std::intptr_t first = static_cast<std::intptr_t>(f.x0) * plane.alpha_x;
        const std::intptr_t last = static_cast<std::intptr_t>(f.x0 + f.n - 1) * plane.alpha_x;
        for (int32_t y = f.y0; y < f.y0 + f.n; ++y) {
            uint8_t* const row = plane.alpha + static_cast<std::intptr_t>(y) * plane.alpha_y;
            simd::prefetch(row + first);
            simd::prefetch(row + last);
        }
    }
}

// True when the alpha plane spans so few bytes that the fill just before left it in the
// nearest caches: asking for its lines again would cost more than it saves.
bool cache_resident(const planes& plane) noexcept {
    constexpr int64_t resident_bytes = 64 * 1024;
    const int64_t y = plane.alpha_y < 0 ? -static_cast<int64_t>(plane.alpha_y) : int64_t{plane.alpha_y};
    return y * plane.height <= resident_bytes;
}

}  // namespace

void simd::baseline::corners_scaled(const planes& plane, const corner_geometry& g, float alpha) noexcept {
    corners_generic<edge_rule::scaled>(plane, g, alpha);
}
void simd::baseline::corners_kept(const planes& plane, const corner_geometry& g, float alpha) noexcept {
    corners_generic<edge_rule::kept>(plane, g, alpha);
}
#if FS_HAVE_AVX2_FMA_PATH
void simd::avx2_fma::corners_scaled(const planes& plane, const corner_geometry& g, float alpha) noexcept {
    corners_avx2<edge_rule::scaled>(plane, g, alpha);
}
void simd::avx2_fma::corners_kept(const planes& plane, const corner_geometry& g, float alpha) noexcept {
    corners_avx2<edge_rule::kept>(plane, g, alpha);
}
#endif

corner_geometry filled_geometry(int32_t width, int32_t height, corner_radii radii) noexcept {
    // No radius may exceed half the smaller side.  Formed in double from the
    // integers and rounded once; `min_dim < r` keeps a NaN radius NaN, and the
    // corner loop skips it.
    const float min_dim = narrow((width < height ? width : height) / 2.0);
    for (float* r : {&radii.top_left, &radii.top_right, &radii.bottom_right, &radii.bottom_left}) {
        if (min_dim < *r) *r = min_dim;
    }
    // The rectangle's edges lie on the outer edges of the border pixels: half
    // extents width / 2 and height / 2 about the pixel-centre midpoint.  Each is
    // formed in double from the integers and rounded once to single precision.
    return {
        .top_left = radii.top_left,
        .top_right = radii.top_right,
        .bottom_left = radii.bottom_left,
        .bottom_right = radii.bottom_right,
        .center_x = narrow((static_cast<double>(width) - 1.0) / 2.0),
        .center_y = narrow((static_cast<double>(height) - 1.0) / 2.0),
        .half_w = narrow(width / 2.0),
        .half_h = narrow(height / 2.0),
    };
}

corner_radii bounded_in_place(int32_t width, int32_t height, corner_radii radii) noexcept {
    // Radii lie between 0 and half the smaller side.  Each half is formed in
    // double from the integer and rounded once; NaN fails both comparisons,
    // stays NaN and is skipped like 0.
    const float max_radius_w = narrow(width / 2.0);
    const float max_radius_h = narrow(height / 2.0);
    const float max_radius = max_radius_h < max_radius_w ? max_radius_h : max_radius_w;
    for (float* r : {&radii.top_left, &radii.top_right, &radii.bottom_right, &radii.bottom_left}) {
        if (*r < 0.0f) *r = 0.0f;
        if (max_radius < *r) *r = max_radius;
    }
    return radii;
}

bool any_corner(const corner_radii& radii) noexcept {
    return radii.top_left > 0.0f || radii.top_right > 0.0f || radii.bottom_right > 0.0f || radii.bottom_left > 0.0f;
}

corner_geometry in_place_geometry(int32_t width, int32_t height, corner_radii radii) noexcept {
    // The rectangle's edges pass through the centres of the border pixels: the
    // half extents equal the centre, (width - 1) / 2 and (height - 1) / 2, each
    // formed in double from the integer and rounded once to single precision.
    const float center_x = narrow((static_cast<double>(width) - 1.0) / 2.0);
    const float center_y = narrow((static_cast<double>(height) - 1.0) / 2.0);
    return {
        .top_left = radii.top_left,
        .top_right = radii.top_right,
        .bottom_left = radii.bottom_left,
        .bottom_right = radii.bottom_right,
        .center_x = center_x,
        .center_y = center_y,
        .half_w = center_x,
        .half_h = center_y,
    };
}

void round_corners(const planes& plane, const corner_geometry& g, edge_rule rule, float alpha) noexcept {
    if (plane.width <= 0 || plane.height <= 0) return;
    if (!cache_resident(plane)) prefetch_corners(plane, g);
    const simd::kernels& k = simd::chosen;
    (rule == edge_rule::scaled ? k.corners_scaled : k.corners_kept)(plane, g, alpha);
}

}  // namespace fs
