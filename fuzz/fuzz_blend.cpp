// Compositing: every table's blend_row writes what the plain loop writes, for any layout, colour,
// coverages and pixels, and nothing outside the run; and a whole drawing into a surface (fill,
// band or shadow) gives the same bytes through every table, and again when made from its recording.
#include "blend.hpp"
#include "into_surface.hpp"

#include "common.hpp"

#include <algorithm>
#include <cmath>

namespace {

// A layout of 3 or 4 bytes: red, green, blue (and alpha, or a padding byte) in any order.
fs::blend::layout pick_layout(FuzzedDataProvider& in) {
    const int bytes = in.ConsumeBool() ? 4 : 3;
    int order[4] = {0, 1, 2, 3};
    for (int i = bytes - 1; i > 0; --i) std::swap(order[i], order[in.ConsumeIntegralInRange<int>(0, i)]);
    const bool alpha = bytes == 4 && in.ConsumeBool();
    return {bytes, order[0], order[1], order[2], alpha ? order[3] : -1};
}

// A coverage in [0, 1]: often 0 or 1, else any float there.
float pick_coverage(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            return 0.0f;
        case 1:
            return 1.0f;
        default:
            return std::clamp(in.ConsumeFloatingPointInRange<float>(0.0f, 1.0f), 0.0f, 1.0f);
    }
}

void rows(FuzzedDataProvider& in) {
    const fs::blend::layout at = pick_layout(in);
    const fs::blend::paint p = fs::blend::make_paint(at, in.ConsumeIntegral<uint8_t>(), in.ConsumeIntegral<uint8_t>(),
                                                     in.ConsumeIntegral<uint8_t>(), in.ConsumeIntegral<uint8_t>());
    const size_t n = in.ConsumeIntegralInRange<size_t>(0, 70);
    const size_t misalign = in.ConsumeIntegralInRange<size_t>(0, 7);
    std::vector<float> cov(n);
    for (float& c : cov) c = pick_coverage(in);
    std::vector<uint8_t> start(misalign + n * static_cast<size_t>(at.bytes) + 8);
    for (uint8_t& b : start) b = in.ConsumeIntegral<uint8_t>();
    const auto run = [&](void (*blend)(uint8_t*, const float*, size_t, const fs::blend::paint&) noexcept) {
        std::vector<uint8_t> bytes = start;
        blend(bytes.data() + misalign, cov.data(), n, p);
        return bytes;
    };
    const std::vector<uint8_t> want = run(fs::blend::row_scalar);
    fuzz::require_same(run(fs::simd::baseline_kernels.blend_row), want, fs::simd::baseline_kernels.name);
    for (const fs::simd::kernels* k : fuzz::fast_tables()) fuzz::require_same(run(k->blend_row), want, k->name);
}

// A whole drawing into a small surface through one table.
void surface(FuzzedDataProvider& in) {
    const fs::blend::layout at = pick_layout(in);
    const fs::blend::paint p = fs::blend::make_paint(at, in.ConsumeIntegral<uint8_t>(), in.ConsumeIntegral<uint8_t>(),
                                                     in.ConsumeIntegral<uint8_t>(),
                                                     in.ConsumeBool() ? 255 : in.ConsumeIntegral<uint8_t>());
    const int32_t w = in.ConsumeIntegralInRange<int32_t>(1, 48), h = in.ConsumeIntegralInRange<int32_t>(1, 40);
    const auto coordinate = [&](double lo, double hi) { return in.ConsumeFloatingPointInRange<double>(lo, hi); };
    fs::into_surface::edges e{coordinate(-8, w), coordinate(-8, h), 0, 0, {}};
    e.right = e.left + coordinate(0, 60);
    e.bottom = e.top + coordinate(0, 50);
    const double half = 0.5 * std::min(e.right - e.left, e.bottom - e.top);
    for (double& r : e.radii) r = in.ConsumeBool() ? 0.0 : coordinate(0, half);
    const int kind = in.ConsumeIntegralInRange<int>(0, 2);  // fill, band, shadow
    const double width = coordinate(0, 8), sigma = kind == 2 ? coordinate(0, 4) : 0.0;
    const bool blurred = !(sigma < fs::shadow::field::exact_below);
    const int32_t margin = blurred ? static_cast<int32_t>(std::ceil(3.0 * sigma)) : 0;
    const fs::into_surface::box clip{0, 0, w, h};
    const fs::into_surface::box reach = fs::into_surface::reach(e, margin, clip);
    if (reach.empty()) return;
    const fs::into_surface::box window =
        blurred ? fs::into_surface::reach(e, margin, {-1000, -1000, 1000, 1000}) : reach;
    const fs::into_surface::edges inner = fs::into_surface::inset(e, width);
    const fs::shadow::shape outer_shape = fs::into_surface::shape_in(e, window, sigma);
    const fs::shadow::shape inner_shape = fs::into_surface::shape_in(inner, window);
    const bool band = kind == 1 && !inner_shape.empty;
    const fs::into_surface::rows alike =
        blurred ? fs::into_surface::rows{0, 0} : fs::into_surface::alike_rows(e, band ? &inner : nullptr);
    std::vector<uint8_t> start(static_cast<size_t>(w * h * at.bytes));
    for (uint8_t& b : start) b = in.ConsumeIntegral<uint8_t>();
    std::vector<float> tmp(3 * static_cast<size_t>(w));
    const fs::into_surface::scratch rows{tmp.data(), tmp.data() + w, tmp.data() + 2 * w};
    const auto run = [&](const fs::simd::kernels& k, fs::into_surface::recording* rec) {
        std::vector<uint8_t> bytes = start;
        fs::shadow::field outer_field, inner_field;
        if (!outer_field.build(outer_shape, k) || !inner_field.build(inner_shape, k)) std::abort();
        const fs::into_surface::layer l{&outer_field, band ? &inner_field : nullptr, window, reach, alike};
        fs::into_surface::draw({bytes.data(), static_cast<std::ptrdiff_t>(w) * at.bytes, w, h}, l, p, rows, k, rec);
        return bytes;
    };
    fs::into_surface::recording rec;
    const std::vector<uint8_t> want = run(fs::simd::baseline_kernels, &rec);
    for (const fs::simd::kernels* k : fuzz::fast_tables()) fuzz::require_same(run(*k, nullptr), want, k->name);
    // Made again from its recording: the very same bytes.
    std::vector<uint8_t> again = start;
    rec.replay({again.data(), static_cast<std::ptrdiff_t>(w) * at.bytes, w, h}, window.x0, window.y0, p, rows,
               fs::simd::baseline_kernels);
    if (rec.whole()) fuzz::require_same(again, want, "replayed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    if (in.ConsumeBool()) {
        rows(in);
    } else {
        surface(in);
    }
    return 0;
}
