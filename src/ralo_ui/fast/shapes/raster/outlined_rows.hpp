// The outline's corner rows both kernel units build on: a row's values, one pixel's write, the scalar row.
#pragma once

#include "numeric.hpp"
#include "outlined.hpp"
#include "portable.hpp"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace fs::outlined {
// Internal linkage on purpose: the baseline unit (outlined.cpp) and the AVX2 unit
// (simd/outlined_avx2.cpp, compiled for AVX2) each get their own copy of everything
// here, compiled with their own flags; inline functions with external linkage could be
// merged by the linker into the AVX2 copy and run on processors without AVX2.
namespace {

// Per row of a corner square: the vertical offset from the centre line's straight part.
struct row_values {
    float dy, dy_pos, dy_sq;  // dy_pos: dy where positive, else 0; dy_sq: its square
};
FS_ALWAYS_INLINE row_values frame_row(const stroke& s, int64_t y) noexcept {
    const float dy = std::fabs(static_cast<float>(y) - s.center_y) - s.centerline_h;
    const float dy_pos = dy > 0.0f ? dy : 0.0f;
    return {dy, dy_pos, dy_pos * dy_pos};
}

// A pixel the distance test accepts: colour, then alpha.  A packed pixel takes the
// paint's word and then its alpha byte.  The row loops (scalar_row below, the AVX2 unit's
// vector_row) take the planes and the paint by value: as locals that no pixel byte can
// alias, they stay in registers.
FS_ALWAYS_INLINE void put(const target& t, const paint& c, int64_t x, int64_t y, uint8_t a) noexcept {
    if (t.is_packed) {
        uint8_t* const px = t.packed.word_at(x, y);
        std::memcpy(px, &c.word, 4);
        px[c.alpha_at] = a;
        return;
    }
    t.pl.at(x, y).set_rgb(c.rgb[0], c.rgb[1], c.rgb[2]);
    *t.pl.alpha_at(x, y) = a;
}

// The reference: pixels [x_begin, x_end) of row y, left to right.  Inlined into the
// baseline and the AVX2 unit alike, so its fused multiply-add is the library call in one and the
// instruction in the other; each is rounded once.
FS_ALWAYS_INLINE void scalar_row(target t, stroke s, paint c, int64_t y, int64_t x_begin, int64_t x_end,
                                 row_values rv) noexcept {
    for (int64_t x = x_begin; x < x_end; ++x) {
        const float dx = std::fabs(static_cast<float>(x) - s.center_x) - s.centerline_w;
        // Length of (max(dx, 0), max(dy, 0)): the root only when both are positive, its
        // radicand rounded once (fused multiply-add).
        float dist;
        if (dx > 0.0f && rv.dy_pos > 0.0f) {
            dist = std::sqrt(std::fma(dx, dx, rv.dy_sq));
        } else {
            dist = rv.dy_pos > dx ? rv.dy_pos : dx;
        }
        // The inside term uses the unclamped dy.
        const float larger = rv.dy > dx ? rv.dy : dx;
        const float inside = larger < 0.0f ? larger : 0.0f;
        const float signed_dist = (inside - s.center_radius) + dist;
        const float dist_from_edge = std::fabs(signed_dist);
        if (dist_from_edge > s.cutoff) continue;
        const float alpha_f = s.half_width - dist_from_edge;
        if (!(alpha_f > -0.5f)) continue;  // NaN lands here too
        // Coverage times alpha in single precision, truncated toward zero (not rounded:
        // alpha_f 0 at alpha 255 stores 127).  Only an alpha_base near 2^31 can push the
        // product out of int32; it saturates there.
        put(t, c, x, y,
            alpha_f >= 0.5f
                ? c.alpha
                : static_cast<uint8_t>(trunc_to_int32(static_cast<double>((alpha_f + 0.5f) * s.alpha_mult))));
    }
}

}  // namespace
}  // namespace fs::outlined
