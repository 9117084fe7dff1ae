// The rounded-corner alpha loop: the baseline kernels and the call through the table.
#include "corners.hpp"

#include "corners_rows.hpp"
#include "portable.hpp"
#include "simd/dispatch.hpp"

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

}  // namespace

void simd::baseline::corners_scaled(const planes& plane, const corner_geometry& g, float alpha) noexcept {
    corners_generic<edge_rule::scaled>(plane, g, alpha);
}
void simd::baseline::corners_kept(const planes& plane, const corner_geometry& g, float alpha) noexcept {
    corners_generic<edge_rule::kept>(plane, g, alpha);
}

void round_corners(const planes& plane, const corner_geometry& g, edge_rule rule, float alpha) noexcept {
    if (plane.width <= 0 || plane.height <= 0) return;
    if (!cache_resident(plane)) prefetch_corners(plane, g);
    const simd::kernels& k = simd::chosen;
    (rule == edge_rule::scaled ? k.corners_scaled : k.corners_kept)(plane, g, alpha);
}

}  // namespace fs
