// The rounded-corner alpha loop: the baseline kernels, the corner geometry, and the call through the table.
#include "corners.hpp"

#include "corners_rows.hpp"
#include "numeric.hpp"
#include "portable.hpp"
#include "simd/dispatch.hpp"

#include <initializer_list>

namespace fs {
namespace {

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
            portable::prefetch(row + first);
            portable::prefetch(row + last);
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
