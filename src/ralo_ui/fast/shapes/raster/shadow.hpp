// The soft shadow of a rounded rectangle: its margin, its parameters, its pixel values and their alpha bytes.
#pragma once

#include "coverage.hpp"
#include "geometry.hpp"
#include "planes.hpp"
#include "shadow_tables.hpp"

#include <cstdint>
#include <vector>

namespace fs::simd {
struct kernels;
}

namespace fs::shadow {

// How far the shadow's surface reaches past the shape on every side: ceil(1.5 blur +
// max(spread, 0)).  blur and spread are finite, blur >= 0 (the caller checked); int64 so that
// the caller can bound it.
int64_t margin(double blur, double spread) noexcept;

// The shadow as its values are taken: a rounded rectangle in a window of width x height
// pixels, pixel (x, y) being the unit square [x, x + 1] x [y, y + 1] of the window.
struct shape {
    int32_t width, height;
    double inset[4];  // left, top, right, bottom: from each side of the window in to the shape's edge
    double radii[4];  // top-left, top-right, bottom-right, bottom-left; bounded, never NaN
    double sigma;     // the Gaussian's, >= 0; 0 (and below 1e-4) is the exact area coverage
    bool empty;       // no area: every value is 0
};

// Everything the drawing needs, formed once from the call's values.
struct params {
    shape s;
    uint8_t rgb[3];  // every pixel's colour bytes
    uint8_t alpha;   // alpha_base: a pixel's byte is alpha_base x its value, rounded to nearest
};

// The shadow of a width x height rounded rectangle with the caller's radii, grown by `spread`
// on every side (radii too, never below 0, each bounded to half the grown shape's smaller
// side; a NaN radius counts as 0), in the middle of a surface of (width + 2 margin) x
// (height + 2 margin), in the colour rgba (alpha_base = rgba[3]).  Pure.
params derive(int32_t width, int32_t height, corner_radii radii, double blur, double spread, int32_t margin,
              const uint8_t rgba[4]) noexcept;

// The values of a shape's pixels: V in [0, 1], the Gaussian-blurred shape averaged over each
// pixel, in single precision (within about 2e-5 of the exact value; 1.6e-4 for a sigma below
// 1e-4, taken as 0).  Built once, then read
// row by row; reading makes no allocation and no interpreter call.
class field {
public:
    // Below this sigma the values are the exact coverage's.  Moving a pixel's square by
    // (dx, dy) changes its covered area by at most |dx| + |dy| (each side gains or loses at
    // most its own length), so blurring changes it by at most E|dx| + E|dy| = 2 sigma
    // sqrt(2 / pi) < 1.6e-4: 0.04 of an alpha unit.  The arcs' rule would need ever more
    // nodes for ever smaller sigma to follow kinks the eye cannot tell from sharp ones.
    static constexpr double exact_below = 1e-4;

    // False when memory ran out.
    bool build(const shape& s, const simd::kernels& k) noexcept;

    // The pixels of row y (inside the window) that share one value: the columns where the
    // shape's profile is exactly 1, away from the corners.
    coverage::flat_span flat(int32_t y) const noexcept;
    // The pixels of row y (inside the window) outside which every value is 0 (the whole row
    // for a blurred shape), with the flat span's value.
    coverage::flat_span reach(int32_t y) const noexcept;
    // The values of pixels x0 .. x1 - 1 of row y, all inside the window, into out[0 ..].
    void row(int32_t y, int32_t x0, int32_t x1, float* out) const noexcept;
    // True when row y's values are the column profile times one number, the row's flat
    // value: no corner reaches the row (never for the exact coverage, whose rows the caller
    // need not tell apart).  All such rows share one flat span.
    bool separable(int32_t y) const noexcept;
    // True when pixel (x, y) and its mirror images (width - 1 - x, y) and (x, height - 1 - y)
    // have the same value: equal insets on opposite sides and four equal radii (blurred
    // only: the exact coverage is always taken as computed, so that it agrees to the byte
    // with a fill drawn by the same routine).  The values agree up to the order in
    // which the corners' cuts are subtracted: a last bit at most.
    bool symmetric() const noexcept;
    // The exact coverage only: true, with *m set, when pixel (x, y) of the window has the
    // value of pixel (m - x, y) to the last bit (coverage::mirrored).
    bool mirrored(int32_t* m) const noexcept;
    // The exact coverage only: true, with *m set, when row y of the window has the values of
    // row m - y to the last bit (coverage::flipped).
    bool flipped(int32_t* m) const noexcept;

private:
    // The corners' tables, one per distinct corner; false when memory ran out.
    bool build_corners(const simd::kernels& k) noexcept;
    // Subtracts corner c's cuts from row y's values of columns x0 .. x1 - 1.
    void subtract_corner(int c, int32_t y, int32_t x0, int32_t x1, float* out) const noexcept;

    shape s_{};
    bool blurred_ = false;                // sigma >= exact_below
    coverage::rounded_rect exact_{};      // sigma below exact_below
    std::vector<float> across_, down_;    // blurred: the profiles per column and per row
    int32_t flat_x0_ = 0, flat_x1_ = 0;   // columns where `across_` is exactly 1
    corner_table tables_[4];              // as many as distinct corners
    const corner_table* corner_[4] = {};  // each corner's table, or null
};

// Writes every pixel of `target` (the shape's window) once, row after row: the colour's
// bytes and alpha_base x its value (0 everywhere for an empty shape or alpha_base 0), as
// whole words where the target is packed pixels, else colour first, then alpha.  What the
// target held before is never read.  False, with nothing written, when memory ran out.  No
// interpreter call: it runs detached.
bool draw(const planes& target, const params& p) noexcept;
// The same through a given kernel table (the fuzz harness holds the tables to each other).
bool draw(const planes& target, const params& p, const simd::kernels& k) noexcept;

}  // namespace fs::shadow
