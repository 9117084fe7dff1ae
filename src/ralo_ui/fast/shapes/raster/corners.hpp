// The anti-aliased rounded-corner alpha loop shared by the filled and the in-place rasterisers.
#pragma once

#include "planes.hpp"

#include <cstdint>

namespace fs {

// The four corner radii, clockwise from the top-left, as the caller gave them.
struct corner_radii {
    float top_left, top_right, bottom_right, bottom_left;
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

// What a pixel on the one-pixel ramp of the edge gets, from its coverage (about
// 0 to 1).  Either product is rounded to single precision, truncated toward zero
// (saturating at the int32 limits, so any alpha is defined) and stored as its low
// eight bits.
enum class edge_rule : uint8_t {
    scaled,  // coverage x `alpha`: a colour's alpha, rounded to single precision by the caller
    kept,    // the pixel's own alpha x coverage; `alpha` is not used
};

// Rewrites the alpha (only) of the four corner squares from the rounded-box signed
// distance, in the order top-left, top-right, bottom-left, bottom-right; rows
// top to bottom, columns left to right.  A pixel at least half a pixel outside
// the edge gets alpha 0, a pixel at least half a pixel inside is not touched,
// and a pixel on the ramp between gets what `rule` says.
//
// Makes no interpreter call: it runs detached.  All geometry is single
// precision, as is every intermediate value.  Where the processor has AVX2 and
// FMA the rows run eight pixels at a time with the same operations per pixel,
// so the bytes do not depend on the processor.
void round_corners(const planes& plane, const corner_geometry& g, edge_rule rule, float alpha) noexcept;

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
