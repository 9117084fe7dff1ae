// The rounded-corner alpha loop: every kernel table against the baseline one (the scalar rows),
// on alpha planes of any strides: rows apart, rows that overlap, alias (y stride 0) or run
// backwards, or packed 4-byte pixels, with any radii (often all four equal, the mirrored
// path's case), geometry and alpha.
// Radii with every mantissa bit in use and alphas large enough that the last bit of a pixel's
// coverage shows in its byte make a rounding step done differently (an unfused multiply-add,
// say) differ on whole surfaces within a few thousand runs, not one in thousands of surfaces.
#include "corners.hpp"
#include "geometry.hpp"

#include "common.hpp"

#include <algorithm>
#include <cmath>

namespace {

// The y stride: rows apart, rows that overlap the next or alias it, or anything at all.
std::ptrdiff_t pick_row_stride(FuzzedDataProvider& in, std::ptrdiff_t sx, int32_t w) {
    const std::ptrdiff_t row = (sx < 0 ? -sx : sx) * w;  // the bytes one row spans
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0: {
            const std::ptrdiff_t pitch = row + in.ConsumeIntegralInRange<int>(-3, 40);
            return in.ConsumeBool() ? -pitch : pitch;
        }
        case 1:
            return row > 1 ? in.ConsumeIntegralInRange<std::ptrdiff_t>(-(row - 1), row - 1) : 0;
        case 2:
            return in.PickValueInArray<std::ptrdiff_t>({0, sx, -sx, 1, -1});
        default:
            return in.ConsumeIntegralInRange<int>(-700, 700);
    }
}

// A radius as pick_float gives it, or as often one with every mantissa bit in use and below
// half the smaller side, where nothing bounds it to a round value: the radii whose ramp pixels
// round differently when an operation is fused or not.
float pick_radius(FuzzedDataProvider& in, int32_t w, int32_t h) {
    if (in.ConsumeBool()) return fuzz::pick_float(in, 40);
    const double half_side = (w < h ? w : h) / 2.0;
    return static_cast<float>(static_cast<double>(in.ConsumeIntegral<uint32_t>()) * 0x1p-32 * half_side);
}

// The scaled rule's alpha: moderate, or now and then so large that one unit in the last place
// of the coverage moves the byte stored, so that any rounding that differs on a ramp pixel shows.
float pick_alpha(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            return static_cast<float>(fuzz::pick_int(in, -300, 300));
        case 1:
            return std::ldexp(1.0f + static_cast<float>(in.ConsumeIntegral<uint16_t>()) * 0x1p-16f,
                              in.ConsumeIntegralInRange<int>(16, 28));
        default:
            return fuzz::pick_float(in, 300);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int32_t w = in.ConsumeIntegralInRange<int32_t>(1, 72);
    const int32_t h = in.ConsumeIntegralInRange<int32_t>(1, 72);
    const std::ptrdiff_t sx = in.ConsumeIntegralInRange<int>(-9, 9);
    const std::ptrdiff_t sy = pick_row_stride(in, sx, w);
    const fs::edge_rule rule = in.ConsumeIntegralInRange<int>(0, 3) != 0 ? fs::edge_rule::scaled : fs::edge_rule::kept;
    const float alpha = pick_alpha(in);

    // Radii: one for all four corners as often as not, else each its own.
    fs::corner_radii radii{};
    if (in.ConsumeBool()) {
        const float r = pick_radius(in, w, h);
        radii = {r, r, r, r};
    } else {
        for (float* r : {&radii.top_left, &radii.top_right, &radii.bottom_right, &radii.bottom_left})
            *r = pick_radius(in, w, h);
    }
    // The geometry as the two callers form it, or any half extents and now and then a centre
    // other than the plane's, which the mirrored path must decline.
    fs::corner_geometry g{};
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
        case 0:
            g = fs::filled_geometry(w, h, radii);
            break;
        case 1:
            g = fs::in_place_geometry(w, h, fs::bounded_in_place(w, h, radii));
            break;
        default:
            g = fs::in_place_geometry(w, h, radii);
            g.half_w = fuzz::pick_float(in, 80);
            g.half_h = fuzz::pick_float(in, 80);
            if (in.ConsumeIntegralInRange<int>(0, 3) == 0) {
                g.center_x += static_cast<float>(in.ConsumeIntegralInRange<int>(-4, 4)) * 0.5f;
                g.center_y += static_cast<float>(in.ConsumeIntegralInRange<int>(-4, 4)) * 0.5f;
            }
    }

    // With four bytes a pixel, pygame's own layout: the colour samples in the same word as
    // alpha, which lies at either end of it, the channels running either way (told by the
    // sides' parity, so that no input decodes differently).  Packed rows are written a word
    // at a time, colour bytes stored back unchanged.  Otherwise only the alpha plane is read
    // or written, and the colour plane lies on the same bytes.
    const bool words = sx == 4 && (sy < 0 ? -sy : sy) >= 4 * w;
    const std::ptrdiff_t channel = w % 2 != 0 ? 1 : -1;
    const std::ptrdiff_t red_at = !words ? 0 : h % 2 != 0 ? -3 * channel : channel;  // from alpha
    fuzz::extent e;
    const std::ptrdiff_t count[2] = {w, h}, stride[2] = {sx, sy};
    e.cover(0, count, stride, 2);
    if (words) {
        const std::ptrdiff_t color_count[3] = {w, h, 3}, color_stride[3] = {sx, sy, channel};
        e.cover(red_at, color_count, color_stride, 3);
    }
    const fuzz::arena start(e, in);
    const auto plane = [&](fuzz::arena& a) {
        return words ? fs::planes{a.at(red_at), sx, sy, channel, a.at(0), sx, sy, w, h}
                     : fs::planes{a.at(0), 0, 0, 0, a.at(0), sx, sy, w, h};
    };
    const bool scaled = rule == fs::edge_rule::scaled;

    const auto tell = [&] {
        std::fprintf(stderr,
                     "%d x %d alpha plane, strides x %td y %td, %s rule, alpha %a\n"
                     "radii tl %a tr %a br %a bl %a, centre %a %a, half extents %a %a\n",
                     w, h, sx, sy, scaled ? "scaled" : "kept", static_cast<double>(alpha),
                     static_cast<double>(g.top_left), static_cast<double>(g.top_right),
                     static_cast<double>(g.bottom_right), static_cast<double>(g.bottom_left),
                     static_cast<double>(g.center_x), static_cast<double>(g.center_y), static_cast<double>(g.half_w),
                     static_cast<double>(g.half_h));
    };

    fuzz::arena want = start;
    const fs::simd::kernels& base = fs::simd::baseline_kernels;
    (scaled ? base.corners_scaled : base.corners_kept)(plane(want), g, alpha);

    fuzz::arena got = start;
    fs::round_corners(plane(got), g, rule, alpha);
    fuzz::require_same(got.bytes, want.bytes, fs::simd::chosen.name, tell);
    for (const fs::simd::kernels* k : fuzz::fast_tables()) {
        if (k == &fs::simd::chosen) continue;
        got = start;
        (scaled ? k->corners_scaled : k->corners_kept)(plane(got), g, alpha);
        fuzz::require_same(got.bytes, want.bytes, k->name, tell);
    }
    return 0;
}
