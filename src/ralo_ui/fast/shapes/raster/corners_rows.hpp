// The corner rows both kernel units build on: a corner's frame, a row's values and the scalar reference row.
#pragma once

#include "checks.hpp"
#include "corners.hpp"
#include "numeric.hpp"
#include "portable.hpp"

#include <cmath>
#include <cstdint>

namespace fs {
// Internal linkage on purpose: the baseline unit (corners.cpp) and the AVX2 unit
// (simd/corners_avx2.cpp, compiled for AVX2) each get their own copy of everything here,
// compiled with their own flags.  Inline functions with external linkage would be merged by
// the linker into one copy, possibly the AVX2 one, which the baseline kernels would then run
// on processors without AVX2.
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

// Corner `corner` in the order the kernels visit them: 0 top-left, 1 top-right, 2 bottom-left,
// 3 bottom-right (the top squares' rows before the bottom ones').  False when it is left square.
inline bool frame_corner(const planes& plane, const corner_geometry& g, int corner, corner_frame& f) noexcept {
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
FS_ALWAYS_INLINE row_frame frame_row(const corner_geometry& g, const corner_frame& f, int32_t y) noexcept {
    const float qy = std::fabs(static_cast<float>(y) - g.center_y) + f.k_h;
    const float my0 = qy > 0.0f ? qy : 0.0f;
    return {qy, my0 * my0};
}

// The reference: pixels [x_begin, x_end) of one row, left to right.  Inlined
// into the baseline and the AVX2 unit alike, so its fused multiply-add is the
// library call in one and the instruction in the other; each is rounded once.  The geometry
// comes by value: a local that no pixel byte can alias stays in registers.
template <edge_rule Rule>
FS_ALWAYS_INLINE void scalar_row(uint8_t* row, std::intptr_t sx, int32_t x_begin, int32_t x_end, corner_geometry g,
                                 corner_frame f, row_frame rf, float alpha) noexcept {
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

}  // namespace
}  // namespace fs
