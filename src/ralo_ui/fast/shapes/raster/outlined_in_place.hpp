// The in-place outline: its parameters from the call's values, and the drawing over a surface.
#pragma once

#include "geometry.hpp"
#include "outlined_in_place_pixel.hpp"
#include "planes.hpp"

#include <cstdint>

namespace fs::outlined_in_place {

// The parameters for a w x h surface: corner radii, stroke width, the colour's red, green,
// blue and unclamped alpha, and the background's four bytes (three-item backgrounds have
// alpha 255; no background is all zeros).  Pure.
params derive(int32_t w, int32_t h, const corner_radii& radii, float stroke_width, int32_t alpha_base,
              const uint8_t rgb[3], const uint8_t background[4]) noexcept;

// Draws over every pixel of the planes (at least one): by runs where the layout and the
// values allow, pixel by pixel otherwise; both give the same bytes.  `with_background` picks
// the rule for the whole call (decide<WithBackground>): the run walker and the full loop are
// each compiled once per rule, and the flag becomes that template argument as they start.
// Runs detached.
void draw(const params& p, bool with_background, const planes& pl) noexcept;

namespace detail {
// The run walker (outlined_in_place_runs.cpp): every pixel, byte for byte what the full loop
// writes, when both planes are packed 4-byte pixels and the values are finite and moderate;
// otherwise false, and nothing is written.
bool draw_runs(const params& p, bool with_background, const planes& pl) noexcept;

// The full loop: every pixel by the per-pixel rule, rows top to bottom, columns left to
// right.  The reference the run walker is checked against.
void draw_every_pixel(const params& p, bool with_background, const planes& pl) noexcept;
}  // namespace detail

}  // namespace fs::outlined_in_place
