// The outline of a rounded rectangle on a new surface: four solid bands and four corner squares.
#pragma once

#include "planes.hpp"

#include <cstdint>

namespace fs::simd {
struct kernels;
}

namespace fs::outlined {

// What a stroke pixel receives at full coverage.
struct paint {
    uint8_t rgb[3];
    uint8_t alpha;  // low eight bits of alpha_base
    uint32_t word;  // the same four samples as a packed pixel holds them (set by bind)
    int alpha_at;   // where alpha lies in that word (set by bind)
};

// The stroke's geometry, all single precision as the per-pixel arithmetic is.
struct stroke {
    float center_x, center_y;          // centre of the surface in pixel-centre coordinates
    float centerline_w, centerline_h;  // half-lengths of the centre line's straight parts
    float center_radius;               // corner radius of the centre line, >= 0, never NaN
    float half_width, cutoff;
    float alpha_mult;  // alpha_base as a float
};

// Everything the drawing needs, derived once from the call's values.
struct params {
    int32_t w, h;
    int64_t radius;  // clamped to half of each side; may be negative
    int64_t band;    // band thickness: ceil(width), saturated; 0 for NaN
    int64_t box;     // side of the corner squares, at most half of each side
    stroke s;
    paint color;
};

// The parameters for a w x h surface, a corner radius, a stroke width and a
// colour (alpha_base unclamped; its low eight bits are stored).  Pure.
params derive(int32_t w, int32_t h, int32_t radius, float width, int32_t alpha_base, const uint8_t rgb[3]) noexcept;

// The planes, and their packed 4-byte view where they have that layout.
struct target {
    planes pl;
    packed_pixels packed;
    bool is_packed;
    bool apart;  // band runs written plane by plane end as drawing pixel by pixel would
};
// Binds the drawing to a w x h surface: completes `p.color` for packed pixels.
target bind(const planes& pl, params& p) noexcept;

// Paints the four bands (top, bottom, left, right), clipped to the surface.
void draw_bands(const target& t, const params& p) noexcept;
// Draws the four corner squares (top-left, top-right, bottom-left, bottom-right) over
// the bands with table k's kernels (any table gives the same bytes); nothing when
// p.box <= 0.
void draw_corners(const target& t, const params& p, const simd::kernels& k) noexcept;
// The same with the table this process draws with.
void draw_corners(const target& t, const params& p) noexcept;

}  // namespace fs::outlined
