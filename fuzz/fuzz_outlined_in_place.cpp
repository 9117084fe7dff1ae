// The in-place outline as drawn (the run walker on packed surfaces of any byte order and row
// direction, the full loop elsewhere) against the full per-pixel loop on the same bytes, over
// a background or over varied content, with any radii (often equal top and bottom, whose
// corner rows the walker draws as paired rows), widths and alphas.
#include "outlined_in_place.hpp"

#include "common.hpp"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int32_t w = in.ConsumeIntegralInRange<int32_t>(1, 64);
    const int32_t h = in.ConsumeIntegralInRange<int32_t>(1, 64);
    const float stroke_width = fuzz::pick_float(in, 24);
    fs::corner_radii radii{};
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
        case 0: {
            const float r = fuzz::pick_float(in, 40);
            radii = {r, r, r, r};
            break;
        }
        case 1: {  // top and bottom alike
            const float left = fuzz::pick_float(in, 40), right = fuzz::pick_float(in, 40);
            radii = {left, right, right, left};
            break;
        }
        default:
            for (float* r : {&radii.top_left, &radii.top_right, &radii.bottom_right, &radii.bottom_left})
                *r = fuzz::pick_float(in, 40);
    }
    const int32_t alpha_base = fuzz::pick_int(in, 0, 255);
    uint8_t rgb[3], background[4] = {0, 0, 0, 0};
    for (uint8_t& v : rgb) v = in.ConsumeIntegral<uint8_t>();
    const bool has_bg = in.ConsumeBool();
    if (has_bg) {
        for (uint8_t& v : background) v = in.ConsumeIntegral<uint8_t>();
        if (in.ConsumeBool()) background[3] = 255;  // a three-item background
    }
    const fs::outlined_in_place::params p =
        fs::outlined_in_place::derive(w, h, radii, stroke_width, alpha_base, rgb, background);

    // Mostly 4-byte pixels in any byte order with red, green and blue in a row either way,
    // rows up or down; sometimes any strides at all (the full loop's own layouts).
    std::ptrdiff_t color_at, csx, csy, csc, alpha_at, asx, asy;
    if (in.ConsumeIntegralInRange<int>(0, 7) != 0) {
        csc = in.ConsumeBool() ? 1 : -1;
        color_at = csc == 1 ? in.ConsumeIntegralInRange<int>(0, 1) : in.ConsumeIntegralInRange<int>(2, 3);
        alpha_at = std::min(color_at, color_at + 2 * csc) == 0 ? 3 : 0;
        csy = 4 * std::ptrdiff_t{w} + 4 * in.ConsumeIntegralInRange<int>(0, 2);
        if (in.ConsumeBool()) csy = -csy;
        csx = asx = 4;
        asy = csy;
    } else {
        color_at = 0;
        csx = in.ConsumeIntegralInRange<int>(-8, 8);
        csy = in.ConsumeIntegralInRange<int>(-400, 400);
        csc = in.ConsumeIntegralInRange<int>(-3, 3);
        alpha_at = in.ConsumeIntegralInRange<int>(-300, 300);
        asx = in.ConsumeIntegralInRange<int>(-8, 8);
        asy = in.ConsumeIntegralInRange<int>(-400, 400);
    }

    fuzz::extent e;
    const std::ptrdiff_t ccount[3] = {w, h, 3}, cstride[3] = {csx, csy, csc};
    const std::ptrdiff_t acount[2] = {w, h}, astride[2] = {asx, asy};
    e.cover(color_at, ccount, cstride, 3);
    e.cover(alpha_at, acount, astride, 2);
    const fuzz::arena start(e, in);
    const auto planes_of = [&](fuzz::arena& a) {
        return fs::planes{a.at(color_at), csx, csy, csc, a.at(alpha_at), asx, asy, w, h};
    };

    fuzz::arena want = start;
    fs::outlined_in_place::detail::draw_every_pixel(p, has_bg, planes_of(want));
    fuzz::arena got = start;
    fs::outlined_in_place::draw(p, has_bg, planes_of(got));
    fuzz::require_same(got.bytes, want.bytes, has_bg ? "outline over a background" : "outline over the content");
    return 0;
}
