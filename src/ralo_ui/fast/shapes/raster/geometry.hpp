// Where a rounded rectangle's corners lie: the caller's radii, bounded, and the geometry the corner kernel draws.
#pragma once

#include <cstdint>

namespace fs {

// The four corner radii, clockwise from the top-left, as the caller gave them.
struct corner_radii {
    float top_left, top_right, bottom_right, bottom_left;
};

// Where the rounded rectangle lies.  Pixel (x, y) stands for the point (x, y);
// the centre is ((width - 1) / 2, (height - 1) / 2) and the half extents put
// the rectangle's edges where the caller wants them.  Radii are bounded by the
// caller already, and kept in the order of corner_radii.
struct corner_geometry {
    float top_left, top_right, bottom_right, bottom_left;
    float center_x, center_y;
    float half_w, half_h;
};

// A new width x height surface's corners: no radius above half the smaller side, the
// rectangle's edges on the outer edges of the border pixels.  Pure.
corner_geometry filled_geometry(int32_t width, int32_t height, corner_radii radii) noexcept;

// A surface's radii for cutting its corners in place: each bounded to 0 .. half the
// smaller side (NaN stays NaN and is skipped like 0).  Pure.
corner_radii bounded_in_place(int32_t width, int32_t height, corner_radii radii) noexcept;
// True when any bounded radius cuts a corner.
bool any_corner(const corner_radii& radii) noexcept;
// The geometry for bounded radii: the rectangle's edges through the centres of the
// border pixels.  Pure.
corner_geometry in_place_geometry(int32_t width, int32_t height, corner_radii radii) noexcept;

}  // namespace fs
