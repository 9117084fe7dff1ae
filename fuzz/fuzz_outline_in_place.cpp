// The in-place outline: the run walker against the full per-pixel loop, on packed surfaces of
// any byte order and row direction with varied content, over a background or over the content.
#include "outlined_in_place.cpp"

#include "common.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int32_t w = in.ConsumeIntegralInRange<int32_t>(1, 64);
    const int32_t h = in.ConsumeIntegralInRange<int32_t>(1, 64);
    const float stroke_width = fuzz::pick_float(in, 24);
    float radii[4];
    for (float& r : radii) r = fuzz::pick_float(in, 40);
    const int32_t alpha_base = fuzz::pick_int(in, 0, 255);
    const bool has_bg = in.ConsumeBool();

    // The per-call values, formed as the entry forms them.
    fs::outline::params p{};
    p.r = in.ConsumeIntegral<uint8_t>();
    p.g = in.ConsumeIntegral<uint8_t>();
    p.b = in.ConsumeIntegral<uint8_t>();
    p.alpha_low = fs::outline::low8(alpha_base);
    p.stroke_alpha_mult = fs::alpha_mult(alpha_base);
    if (has_bg) {
        p.bg_r = in.ConsumeIntegral<uint8_t>();
        p.bg_g = in.ConsumeIntegral<uint8_t>();
        p.bg_b = in.ConsumeIntegral<uint8_t>();
        p.bg_alpha_mult = in.ConsumeBool() ? 1.0f : fs::alpha_mult(in.ConsumeIntegral<uint8_t>());
    }
    p.half_width = 0.5f * stroke_width;
    p.coverage_base = p.half_width + 0.5f;
    p.edge_limit = static_cast<double>(p.half_width) + 0.5;
    p.r_tl = fs::adjust(radii[0], p.half_width);
    p.r_tr = fs::adjust(radii[1], p.half_width);
    p.r_br = fs::adjust(radii[2], p.half_width);
    p.r_bl = fs::adjust(radii[3], p.half_width);
    p.center_x = static_cast<float>((static_cast<double>(w) - 1.0) * 0.5);
    p.center_y = static_cast<float>((static_cast<double>(h) - 1.0) * 0.5);
    p.box_half_w = (static_cast<float>(w) - stroke_width) * 0.5f;
    p.box_half_h = (static_cast<float>(h) - stroke_width) * 0.5f;
    if (!fs::outline::runs_apply(p, w, h)) return 0;  // the full loop alone serves these

    // 4-byte pixels in any byte order with red, green and blue in a row either way, rows up or down.
    const std::ptrdiff_t channel = in.ConsumeBool() ? 1 : -1;
    const std::ptrdiff_t red = channel == 1 ? in.ConsumeIntegralInRange<int>(0, 1) : in.ConsumeIntegralInRange<int>(2, 3);
    const std::ptrdiff_t alpha = std::min(red, red + 2 * channel) == 0 ? 3 : 0;
    std::ptrdiff_t pitch = 4 * std::ptrdiff_t{w} + 4 * in.ConsumeIntegralInRange<int>(0, 2);
    if (in.ConsumeBool()) pitch = -pitch;

    fuzz::extent e;
    const std::ptrdiff_t pixel[3] = {w, h, 4}, pixel_stride[3] = {4, pitch, 1};
    e.cover(0, pixel, pixel_stride, 3);
    fuzz::arena start(e, in);
    const auto views_of = [&](fuzz::arena& a, fs::surface_views& v) {  // not held: data and strides only
        v.color.data = a.at(red);
        v.color.strides[0] = 4;
        v.color.strides[1] = pitch;
        v.color.strides[2] = channel;
        v.alpha.data = a.at(alpha);
        v.alpha.strides[0] = 4;
        v.alpha.strides[1] = pitch;
    };

    fuzz::arena got = start;
    fs::surface_views got_views;
    views_of(got, got_views);
    fs::outline::packed_surface packed;
    if (!packed.bind(got_views, w, h)) std::abort();  // every layout above is packed
    fs::outline::outline_runs(p, has_bg, packed, w, h);

    fuzz::arena want = start;
    fs::surface_views want_views;
    views_of(want, want_views);
    if (has_bg)
        fs::outline_all<true>(p, want_views, w, h);
    else
        fs::outline_all<false>(p, want_views, w, h);
    fuzz::require_same(got.bytes, want.bytes, has_bg ? "outline runs over a background" : "outline runs");
    return 0;
}
