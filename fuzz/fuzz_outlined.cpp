// The outlined surface's bands and corners as drawn (packed words where the layout allows,
// plane-wise runs where the views are apart, eight-pixel corner rows where the processor has
// them, through every kernel table) against the reference: every band pixel in drawing order,
// row by row, colour then alpha, then the corners by the baseline rows on plain planes.
#include "outlined.hpp"

#include "common.hpp"

#include <algorithm>

namespace {

struct layout {
    std::ptrdiff_t color_at, csx, csy, csc;  // offsets from a common origin, and strides
    std::ptrdiff_t alpha_at, asx, asy;
};

// A packed layout of 4-byte pixels in any byte order, rows up or down; two planes apart
// (colour samples of 3 or 4 bytes, alpha bytes elsewhere), either way round; or any
// strides at all, the views free to share bytes.
layout pick_layout(FuzzedDataProvider& in, int32_t w, int32_t h) {
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
        case 0: {
            const std::ptrdiff_t channel = in.ConsumeBool() ? 1 : -1;
            const std::ptrdiff_t red =
                channel == 1 ? in.ConsumeIntegralInRange<int>(0, 1) : in.ConsumeIntegralInRange<int>(2, 3);
            const std::ptrdiff_t blue = red + 2 * channel;
            const std::ptrdiff_t alpha = std::min(red, blue) == 0 ? 3 : 0;
            std::ptrdiff_t pitch = 4 * std::ptrdiff_t{w} + 4 * in.ConsumeIntegralInRange<int>(0, 3);
            if (in.ConsumeBool()) pitch = -pitch;
            return {red, 4, pitch, channel, alpha, 4, pitch};
        }
        case 1: {
            const std::ptrdiff_t channel = in.ConsumeBool() ? 1 : -1;
            const std::ptrdiff_t step = in.ConsumeIntegralInRange<int>(3, 4);
            const std::ptrdiff_t csx = in.ConsumeBool() ? step : -step;
            const std::ptrdiff_t crow = step * w + in.ConsumeIntegralInRange<int>(0, 5);
            const std::ptrdiff_t csy = in.ConsumeBool() ? crow : -crow;
            const std::ptrdiff_t asx = in.ConsumeBool() ? 1 : -1;
            const std::ptrdiff_t arow = w + in.ConsumeIntegralInRange<int>(0, 5);
            const std::ptrdiff_t asy = in.ConsumeBool() ? arow : -arow;
            const std::ptrdiff_t color_span = crow * h + 2 * step, alpha_span = arow * h + 2;
            // Each plane's origin in the middle of its own span, one span after the other.
            const std::ptrdiff_t gap = in.ConsumeIntegralInRange<int>(0, 3);
            std::ptrdiff_t color_at = color_span, alpha_at = 2 * color_span + gap + alpha_span;
            if (in.ConsumeBool()) std::swap(color_at, alpha_at);
            return {color_at, csx, csy, channel, alpha_at, asx, asy};
        }
        default: {
            layout l;
            l.color_at = 0;
            l.csx = in.ConsumeIntegralInRange<int>(-8, 8);
            l.csy = in.ConsumeIntegralInRange<int>(-400, 400);
            l.csc = in.ConsumeIntegralInRange<int>(-3, 3);
            l.alpha_at = in.ConsumeIntegralInRange<int>(-300, 300);
            l.asx = in.ConsumeIntegralInRange<int>(-8, 8);
            l.asy = in.ConsumeIntegralInRange<int>(-400, 400);
            return l;
        }
    }
}

// The reference band: rows top to bottom, pixels left to right, each colour then alpha,
// clipped to the surface.
void band_in_order(const fs::planes& pl, int64_t x0, int64_t x1, int64_t y0, int64_t y1, const fs::outlined::paint& c) {
    for (int64_t y = std::max<int64_t>(y0, 0); y < std::min<int64_t>(y1, pl.height); ++y)
        for (int64_t x = std::max<int64_t>(x0, 0); x < std::min<int64_t>(x1, pl.width); ++x) {
            pl.at(x, y).set_rgb(c.rgb[0], c.rgb[1], c.rgb[2]);
            *pl.alpha_at(x, y) = c.alpha;
        }
}

// The four corner squares in drawing order through one table's corner entry.
void corners_by(const fs::simd::kernels& k, const fs::outlined::target& t, const fs::outlined::params& p) {
    const int64_t W = p.w, H = p.h, box = p.box;
    if (box <= 0) return;
    k.outlined_corner(t, p.s, p.color, 0, 0, box);
    k.outlined_corner(t, p.s, p.color, W - box, 0, box);
    k.outlined_corner(t, p.s, p.color, 0, H - box, box);
    k.outlined_corner(t, p.s, p.color, W - box, H - box, box);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int32_t w = in.ConsumeIntegralInRange<int32_t>(1, 64);
    const int32_t h = in.ConsumeIntegralInRange<int32_t>(1, 64);
    const int32_t radius = fuzz::pick_int(in, -4, 40);
    const float width = fuzz::pick_float(in, 40);
    int32_t alpha_base = fuzz::pick_int(in, 1, 255);
    if (alpha_base == 0) alpha_base = 255;  // the caller returns before drawing
    uint8_t rgb[3];
    for (uint8_t& v : rgb) v = in.ConsumeIntegral<uint8_t>();
    const layout l = pick_layout(in, w, h);
    const fs::outlined::params derived = fs::outlined::derive(w, h, radius, width, alpha_base, rgb);

    fuzz::extent e;
    const std::ptrdiff_t ccount[3] = {w, h, 3}, cstride[3] = {l.csx, l.csy, l.csc};
    const std::ptrdiff_t acount[2] = {w, h}, astride[2] = {l.asx, l.asy};
    e.cover(l.color_at, ccount, cstride, 3);
    e.cover(l.alpha_at, acount, astride, 2);
    const fuzz::arena start(e, in);
    const auto planes_of = [&](fuzz::arena& a) {
        return fs::planes{a.at(l.color_at), l.csx, l.csy, l.csc, a.at(l.alpha_at), l.asx, l.asy, w, h};
    };
    const int64_t W = w, H = h, r = derived.radius, sw = derived.band;

    // The reference: plain planes, nothing proven apart, so the corners go pixel by pixel too.
    fuzz::arena want = start;
    const fs::outlined::target plain{planes_of(want), {}, false, false};
    const fs::outlined::paint& c = derived.color;
    band_in_order(plain.pl, r, W - r, 0, sw, c);      // top
    band_in_order(plain.pl, r, W - r, H - sw, H, c);  // bottom
    band_in_order(plain.pl, 0, sw, r, H - r, c);      // left
    band_in_order(plain.pl, W - sw, W, r, H - r, c);  // right
    corners_by(fs::simd::baseline_kernels, plain, derived);

    // As the entry draws: bound to the layout, the chosen table's corners.
    fuzz::arena got = start;
    fs::outlined::params p = derived;
    const fs::outlined::target t = fs::outlined::bind(planes_of(got), p);
    fs::outlined::draw_bands(t, p);
    fs::outlined::draw_corners(t, p);
    const char* what = t.is_packed ? "outlined, packed" : t.apart ? "outlined, planes apart" : "outlined";
    fuzz::require_same(got.bytes, want.bytes, what);

    // Every other table's corners, the baseline's included, over the same bound layout: each
    // with its own mirror test and copy where the layout is packed.
    std::vector<const fs::simd::kernels*> tables = fuzz::fast_tables();
    tables.push_back(&fs::simd::baseline_kernels);
    for (const fs::simd::kernels* k : tables) {
        if (k == &fs::simd::chosen) continue;
        got = start;
        p = derived;
        const fs::outlined::target tk = fs::outlined::bind(planes_of(got), p);
        fs::outlined::draw_bands(tk, p);
        fs::outlined::draw_corners(tk, p, *k);
        fuzz::require_same(got.bytes, want.bytes, k->name);
    }
    return 0;
}
