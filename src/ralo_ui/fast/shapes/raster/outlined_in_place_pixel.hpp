// The per-pixel rule of the in-place outline: distance to the stroke's centre line, coverage, blend.
#pragma once

#include "numeric.hpp"
#include "planes.hpp"

#include <cmath>
#include <cstddef>
#include <cstdint>

// Every value here is single precision unless a comment says the expression is
// formed in double; such an expression widens its float operands, is evaluated
// in double and is rounded once to single where it is stored in a float.
// The build keeps contraction off, so no product and sum below becomes a fused
// multiply-add.
//
// Non-finite inputs (NaN or infinite stroke widths and radii) give defined,
// if meaningless, pixels: min, max and clamp below state what they do with a
// NaN, and every float-to-byte store goes through trunc_to_int32 (saturating,
// NaN -> 0) and keeps the low eight bits.

namespace fs::outlined_in_place {

// max(a, b) is b when b > a, else a: a NaN first operand stays NaN.
inline float max_of(float a, float b) noexcept { return b > a ? b : a; }
// min(a, 0) is a when a < 0, else 0 (NaN gives 0).
inline float min_zero(float a) noexcept { return a < 0.0f ? a : 0.0f; }
// Coverage clamped to 0..1; a coverage that is not a number counts as 0 and draws nothing.
inline float clamp01(float v) noexcept { return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; }

// Low eight bits of an int32 (modular, defined for every value).
inline uint8_t low8(int32_t v) noexcept { return static_cast<uint8_t>(v); }

// A blended colour formed in double: rounded to single (narrow: a blend whose
// divisor underflowed may leave the float range), then truncated toward zero.
inline uint8_t color_byte(double blended) noexcept {
    // A blend of bytes lies in 0..256, where the float truncates straight to int32.
    if (blended >= 0.0 && blended < 256.0) return low8(static_cast<int32_t>(static_cast<float>(blended)));
    return low8(trunc_to_int32(static_cast<double>(narrow(blended))));
}

// A blended alpha: 255 once the total reaches 1, else trunc(total * 255) with
// the product in double.
inline uint8_t alpha_byte(float total_a) noexcept {
    if (total_a >= 1.0f) return 255;
    const double scaled = static_cast<double>(total_a) * 255.0;
    // Above -1 the product lies in -255..255, where it truncates straight to int32.
    return low8(total_a > -1.0f ? static_cast<int32_t>(scaled) : trunc_to_int32(scaled));
}

// Everything the loop needs, prepared once per call.
struct params {
    float center_x, center_y;      // (w - 1) * 0.5, (h - 1) * 0.5 in double, rounded once
    float box_half_w, box_half_h;  // (w - stroke_width) * 0.5, all single
    float half_width;              // 0.5 * stroke_width
    float coverage_base;           // half_width + 0.5 in single: the stroke's coverage ramp
    double edge_limit;             // half_width + 0.5 in double: the clearing and deep-inside tests
    float r_tl, r_tr, r_br, r_bl;  // radii less half_width, at least 0
    float stroke_alpha_mult;       // alpha_base / 255 in double, rounded once
    float bg_alpha_mult;           // the background's alpha / 255 in double (1 for three items, 0 without)
    uint8_t r, g, b;
    uint8_t bg_r, bg_g, bg_b;
    float stroke_f[3], bg_f[3];  // r, g, b and bg_r, bg_g, bg_b as floats (exact): converted once
    uint8_t alpha_low;           // low eight bits of alpha_base, stored where the stroke is opaque
};

// Values shared by a whole row.
struct row {
    float qy_base, r_left, r_right;
};

inline row row_at(const params& p, int32_t y) noexcept {
    const float py = static_cast<float>(y) - p.center_y;
    // Strictly below the centre is the bottom half: the centre row of an odd height is top.
    const bool bottom = py > 0.0f;
    return {std::fabs(py) - p.box_half_h, bottom ? p.r_bl : p.r_tl, bottom ? p.r_br : p.r_tr};
}

// Distance of one pixel centre to the stroke's centre line (a rounded box),
// with the two offsets it was formed from.  The outcomes below read only
// current_r, outside, inside and signed_dist: pixels equal in those four are
// drawn alike (the run walker relies on it).
struct distance {
    float current_r, outside, inside, signed_dist;
    float qx, qy;
};

inline distance distance_at(const params& p, const row& rw, int32_t x) noexcept {
    const float px = static_cast<float>(x) - p.center_x;
    // The centre column of an odd width counts as left.
    const float current_r = px > 0.0f ? rw.r_right : rw.r_left;
    const float qx = (std::fabs(px) - p.box_half_w) + current_r;
    const float qy = rw.qy_base + current_r;
    const float mx = max_of(qx, 0.0f);
    const float my = max_of(qy, 0.0f);
    // Each square and their sum rounded to single on their own, no fused multiply-add.
    const float mx2 = mx * mx;
    const float my2 = my * my;
    const float outside = std::sqrt(mx2 + my2);
    const float inside = min_zero(max_of(qx, qy));
    return {current_r, outside, inside, (outside + inside) - current_r, qx, qy};
}

// sa: the stroke's coverage, 1 within half_width - 0.5 of the centre line and
// 0 beyond half_width + 0.5, times its alpha.  Always finite: the clamp maps
// NaN to 0 and the multiplier is at most 2^31 / 255 in magnitude.
inline float stroke_alpha(const params& p, float signed_dist) noexcept {
    return clamp01(p.coverage_base - std::fabs(signed_dist)) * p.stroke_alpha_mult;
}

// What the rule does to one pixel, decided from its distance alone: keep it,
// clear its alpha, paint it with fixed bytes, or (without a background)
// composite the stroke's alpha `sa` over its old content.
struct outcome {
    enum kind_t : uint8_t { keep, clear, paint, blend };
    kind_t kind;
    uint8_t r, g, b, a;  // paint
    float sa;            // blend
};

inline outcome painted(uint8_t r, uint8_t g, uint8_t b, uint8_t a) noexcept {
    return {outcome::paint, r, g, b, a, 0.0f};
}
inline outcome of_kind(outcome::kind_t kind) noexcept { return {kind, 0, 0, 0, 0, 0.0f}; }

// Stroke over the background colour; the pixel's old content is never read.
inline outcome over_background(const params& p, const distance& d) noexcept {
    // Beyond the stroke's outer edge (compared in double): transparent, colour kept.
    if (static_cast<double>(d.signed_dist) > p.edge_limit) return of_kind(outcome::clear);
    const float sa = stroke_alpha(p, d.signed_dist);
    // half_width - signed_dist, regrouped in single as (current_r + half_width) - (outside + inside).
    const float ba_eff = clamp01((d.current_r + p.half_width) - (d.outside + d.inside)) * p.bg_alpha_mult;
    const double keep = 1.0 - static_cast<double>(sa);  // (1 - sa) in double
    // In double; |sa| < 2^24 and 0 <= ba_eff <= 1 keep the sum well inside the float range.
    const float total_a = static_cast<float>(static_cast<double>(sa) + static_cast<double>(ba_eff) * keep);
    if (total_a <= 0.0f) return of_kind(outcome::clear);
    const double inv_total_a = static_cast<double>(1.0f / total_a);  // the reciprocal in single
    // Products colour x weight in single, the rest in double.
    const auto blend = [&](int i) noexcept {
        const float s = p.stroke_f[i] * sa;
        const float u = p.bg_f[i] * ba_eff;
        return color_byte((static_cast<double>(s) + static_cast<double>(u) * keep) * inv_total_a);
    };
    return painted(blend(0), blend(1), blend(2), alpha_byte(total_a));
}

// Stroke over the pixel's existing content: replaced in the stroke's outer
// half and where it is opaque, composited only in the inner anti-aliased band.
inline outcome over_content(const params& p, const distance& d) noexcept {
    const double signed_dist = static_cast<double>(d.signed_dist);  // both limits compared in double
    if (signed_dist > p.edge_limit) return of_kind(outcome::clear);
    if (signed_dist < -p.edge_limit) return of_kind(outcome::keep);  // deep inside: untouched
    const float sa = stroke_alpha(p, d.signed_dist);
    if (sa <= 0.0f) return of_kind(outcome::keep);
    if (d.signed_dist > 0.0f || sa >= 1.0f) {
        // 0 < sa < 1 here unless opaque, so the product lies in 0..255.
        return painted(p.r, p.g, p.b, sa >= 1.0f ? p.alpha_low : low8(trunc_to_int32(static_cast<double>(sa) * 255.0)));
    }
    return {outcome::blend, 0, 0, 0, 0, sa};  // inner half, 0 < sa < 1
}

// The rule a whole call draws by: the stroke over the background colour, or over each
// pixel's content.  Fixed per call, so every loop is compiled once for each.
template <bool WithBackground>
inline outcome decide(const params& p, const distance& d) noexcept {
    if constexpr (WithBackground)
        return over_background(p, d);
    else
        return over_content(p, d);
}

// The inner half's composite: the stroke over the old pixel, straight colours.
inline void blend_over_content(float sa, const params& p, const pixel& px) noexcept {
    const float orig_a = static_cast<float>(*px.alpha / 255.0);  // in double, rounded once
    const double keep = 1.0 - static_cast<double>(sa);
    // In double; lies in sa..1, so positive and representable.
    const float total_a = static_cast<float>(static_cast<double>(sa) + static_cast<double>(orig_a) * keep);
    const double inv_total_a = static_cast<double>(1.0f / total_a);  // the reciprocal in single
    const auto blend = [&](uint8_t stroke, uint8_t old) noexcept {
        const float s = static_cast<float>(stroke) * sa;
        const float o = static_cast<float>(old) * orig_a;
        return color_byte((static_cast<double>(s) + static_cast<double>(o) * keep) * inv_total_a);
    };
    px.set_rgb(blend(p.r, px.rgb[0]), blend(p.g, px.rgb[px.channel]), blend(p.b, px.rgb[2 * px.channel]));
    *px.alpha = alpha_byte(total_a);
}

inline void apply(const params& p, const outcome& o, const pixel& px) noexcept {
    switch (o.kind) {
        case outcome::keep:
            return;
        case outcome::clear:
            *px.alpha = 0;  // colour kept
            return;
        case outcome::paint:
            px.set_rgb(o.r, o.g, o.b);
            *px.alpha = o.a;
            return;
        case outcome::blend:
            blend_over_content(o.sa, p, px);
            return;
    }
}

}  // namespace fs::outlined_in_place
