// The rounded-corner alpha loop: the dispatched kernel against the scalar reference, on planes of
// any strides (zero, negative, rows that overlap), with any radii, geometry and alpha.
#include "corner_kernel.cpp"

#include "common.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const int32_t w = in.ConsumeIntegralInRange<int32_t>(1, 72);
    const int32_t h = in.ConsumeIntegralInRange<int32_t>(1, 72);
    const std::ptrdiff_t sx = in.ConsumeIntegralInRange<int>(-9, 9);
    const std::ptrdiff_t sy = in.ConsumeBool() ? sx * w + in.ConsumeIntegralInRange<int>(-3, 40)
                                               : in.ConsumeIntegralInRange<int>(-700, 700);
    const fs::edge_rule rule = in.ConsumeBool() ? fs::edge_rule::scaled : fs::edge_rule::kept;
    const float alpha = in.ConsumeBool() ? static_cast<float>(fuzz::pick_int(in, -300, 300)) : fuzz::pick_float(in, 300);

    // The geometry as the two callers form it (outer or centre edges), or anything at all.
    const float limit = static_cast<float>(std::min(w, h)) / 2.0f;
    fs::corner_geometry g{};
    g.center_x = (static_cast<float>(w) - 1.0f) / 2.0f;
    g.center_y = (static_cast<float>(h) - 1.0f) / 2.0f;
    switch (in.ConsumeIntegralInRange<int>(0, 2)) {
        case 0: g.half_w = w / 2.0f; g.half_h = h / 2.0f; break;
        case 1: g.half_w = g.center_x; g.half_h = g.center_y; break;
        default:
            g.center_x = fuzz::pick_float(in, 80);
            g.center_y = fuzz::pick_float(in, 80);
            g.half_w = fuzz::pick_float(in, 80);
            g.half_h = fuzz::pick_float(in, 80);
    }
    for (float* r : {&g.top_left, &g.top_right, &g.bottom_left, &g.bottom_right}) {
        *r = fuzz::pick_float(in, 40);
        if (in.ConsumeBool() && *r > limit) *r = limit;  // as the callers clamp
    }

    fuzz::extent e;
    const std::ptrdiff_t count[2] = {w, h}, stride[2] = {sx, sy};
    e.cover(0, count, stride, 2);
    fuzz::arena start(e, in);
    fuzz::arena got = start, want = start;
    const auto plane = [&](fuzz::arena& a) { return fs::alpha_plane{a.at(0), sx, sy, w, h}; };

    fs::round_corners(plane(got), g, rule, alpha);
    if (rule == fs::edge_rule::scaled)
        fs::corners_generic<fs::edge_rule::scaled>(plane(want), g, alpha);
    else
        fs::corners_generic<fs::edge_rule::kept>(plane(want), g, alpha);
    fuzz::require_same(got.bytes, want.bytes, "corner kernel");
    return 0;
}
