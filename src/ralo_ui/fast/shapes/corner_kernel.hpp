// The anti-aliased rounded-corner alpha loop shared by the filled and the in-place rasterisers.
#pragma once

#include <cmath>
#include <cstdint>

namespace fs {

// One alpha plane: the byte of pixel (x, y) is data + x * x_stride + y * y_stride.
// Strides are signed byte distances of any value.
struct alpha_plane {
    uint8_t* data;
    std::intptr_t x_stride;
    std::intptr_t y_stride;
    int32_t width;
    int32_t height;
};

// Where the rounded rectangle lies.  Pixel (x, y) stands for the point (x, y);
// the centre is ((width - 1) / 2, (height - 1) / 2) and the half extents put
// the rectangle's edges where the caller wants them.  Radii are bounded by the
// caller already.
struct corner_geometry {
    float top_left, top_right, bottom_left, bottom_right;  // the order the corners are drawn in
    float center_x, center_y;
    float half_w, half_h;
};

// Rewrites the alpha of the four corner squares from the rounded-box signed
// distance, in the order top-left, top-right, bottom-left, bottom-right; rows
// top to bottom, columns left to right.  A pixel at least half a pixel outside
// the edge gets alpha 0, a pixel at least half a pixel inside is not touched,
// and a pixel on the one-pixel ramp between is handed to `edge(alpha, coverage)`
// with `alpha` pointing at its sample and `coverage` in about (0, 1).
//
// Makes no interpreter call: it runs detached.  All geometry is single
// precision, as is every intermediate value; the build keeps the compiler from
// fusing anything but the one std::fma below.
template <class Edge>
void round_corners(const alpha_plane& plane, const corner_geometry& g, Edge edge) noexcept {
    if (plane.width <= 0 || plane.height <= 0) return;
    uint8_t* const data = plane.data;
    const std::intptr_t sx = plane.x_stride;
    const std::intptr_t sy = plane.y_stride;
    // The largest square side that keeps the four squares apart and inside the
    // plane.  Radii bounded by half the smaller dimension truncate to at most
    // this already; the clip makes the loop safe whatever radius arrives.
    const int32_t limit = (plane.width < plane.height ? plane.width : plane.height) / 2;

    const float radii[4] = {g.top_left, g.top_right, g.bottom_left, g.bottom_right};
    for (int corner = 0; corner < 4; ++corner) {
        const float r = radii[corner];
        if (!(r > 0.0f)) continue;  // zero, negative and NaN radii leave the corner square
        // Side of the corner square: r truncated toward zero.  The comparison is
        // exact in double, and below it 0 < r < limit <= 2^30, so the cast is defined.
        const int32_t n = static_cast<double>(r) >= limit ? limit : static_cast<int32_t>(r);
        if (n == 0) continue;
        const bool right = corner == 1 || corner == 3;
        const bool bottom = corner >= 2;
        const int32_t x0 = right ? plane.width - n : 0;
        const int32_t y0 = bottom ? plane.height - n : 0;

        // Per corner, each rounded once to single precision.  (k_w, k_h) moves
        // the pixel's offset from the centre to its offset from the inner
        // rectangle spanned by the corner circles' centres.
        const float k_w = r - g.half_w;
        const float k_h = r - g.half_h;
        const float k_a = r + 0.5f;  // coverage = k_a - d = 0.5 - signed distance

        for (int32_t y = y0; y < y0 + n; ++y) {
            // Per row.  Coordinates become floats before the subtraction: exact
            // below 2^24, rounded to nearest on wider surfaces.
            const float qy = std::fabs(static_cast<float>(y) - g.center_y) + k_h;
            const float my0 = qy > 0.0f ? qy : 0.0f;
            const float m_y = my0 * my0;  // squared and rounded on its own, not fused
            uint8_t* const row = data + static_cast<std::intptr_t>(y) * sy;

            for (int32_t x = x0; x < x0 + n; ++x) {
                const float qx = std::fabs(static_cast<float>(x) - g.center_x) + k_w;
                const float m_x = qx > 0.0f ? qx : 0.0f;
                // m_x * m_x + m_y with a single rounding; the square root in single precision.
                const float dist_outside = std::sqrt(std::fma(m_x, m_x, m_y));
                const float q = qx > qy ? qx : qy;
                const float dist_inside = q < 0.0f ? q : 0.0f;
                const float d = dist_outside + dist_inside;
                const float signed_dist = d - r;
                if (signed_dist >= 0.5f) {
                    row[static_cast<std::intptr_t>(x) * sx] = 0;
                } else if (signed_dist > -0.5f) {
                    edge(row + static_cast<std::intptr_t>(x) * sx, k_a - d);
                }
                // Otherwise the pixel lies inside and keeps its alpha.
            }
        }
    }
}

}  // namespace fs
