// The in-place outline's parameters and its choice between the run walker and the full loop.
#include "outlined_in_place.hpp"

#include "checks.hpp"

namespace fs::outlined_in_place {
namespace {

// Every pixel of the surface, rows top to bottom, columns left to right: the
// reference that the run walker reproduces, and the way for surfaces and values
// outside its preconditions.
template <bool WithBackground>
void outline_all(const params& p, const planes pl) noexcept {
    for (int32_t y = 0; y < pl.height; ++y) {
        const row rw = row_at(p, y);
        for (int32_t x = 0; x < pl.width; ++x) apply(p, decide<WithBackground>(p, distance_at(p, rw, x)), pl.at(x, y));
    }
}

// An 8-bit alpha in double, rounded once to single.
float alpha_mult(int32_t alpha) noexcept {
    // |alpha| / 255 < 2^24: well inside the float range.
    return static_cast<float>(alpha / 255.0);
}

// A corner radius less half the stroke, never below 0; a NaN difference gives 0.
float adjust(float radius, float half_width) noexcept {
    const float d = radius - half_width;
    return d > 0.0f ? d : 0.0f;
}

}  // namespace

params derive(int32_t w, int32_t h, const corner_radii& radii, float stroke_width, int32_t alpha_base,
              const uint8_t rgb[3], const uint8_t background[4]) noexcept {
    params p{};
    p.r = rgb[0];
    p.g = rgb[1];
    p.b = rgb[2];
    // alpha_base is used unclamped: outside 0..255 the multiplier leaves 0..1,
    // the opaque cases store its low eight bits and every store stays defined.
    p.alpha_low = low8(alpha_base);
    p.stroke_alpha_mult = alpha_mult(alpha_base);
    p.bg_r = background[0];
    p.bg_g = background[1];
    p.bg_b = background[2];
    // 255 (three items) gives exactly 1, 0 (no background) exactly 0.
    p.bg_alpha_mult = alpha_mult(background[3]);
    for (int i = 0; i < 3; ++i) {
        p.stroke_f[i] = static_cast<float>(rgb[i]);
        p.bg_f[i] = static_cast<float>(background[i]);
    }

    p.half_width = 0.5f * stroke_width;
    // Two limits from half_width: the coverage ramp's base in single, and the
    // clearing and deep-inside limit in double.
    p.coverage_base = p.half_width + 0.5f;
    p.edge_limit = static_cast<double>(p.half_width) + 0.5;
    p.r_tl = adjust(radii.top_left, p.half_width);
    p.r_tr = adjust(radii.top_right, p.half_width);
    p.r_br = adjust(radii.bottom_right, p.half_width);
    p.r_bl = adjust(radii.bottom_left, p.half_width);
    // The centre in double from the integers, rounded once (|w| < 2^31 fits a float).
    p.center_x = static_cast<float>((static_cast<double>(w) - 1.0) * 0.5);
    p.center_y = static_cast<float>((static_cast<double>(h) - 1.0) * 0.5);
    // The box's half extents in single, from the sizes converted to single.
    p.box_half_w = (static_cast<float>(w) - stroke_width) * 0.5f;
    p.box_half_h = (static_cast<float>(h) - stroke_width) * 0.5f;
    return p;
}

void draw(const params& p, bool with_background, const planes& pl) noexcept {
    FS_CHECK(pl.width > 0 && pl.height > 0);
    if (!detail::draw_runs(p, with_background, pl)) detail::draw_every_pixel(p, with_background, pl);
}

void detail::draw_every_pixel(const params& p, bool with_background, const planes& pl) noexcept {
    if (with_background)
        outline_all<true>(p, pl);
    else
        outline_all<false>(p, pl);
}

}  // namespace fs::outlined_in_place
