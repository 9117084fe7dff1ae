// The soft shadow: every kernel table against the baseline one, byte for byte, on whole
// shadows (any size, radii, blur, spread and alpha, on alpha planes of any strides) and, bit
// for bit, on the entries the tables differ in: the normal tails, the dot product and a row of
// corner cuts; and the writer's shortcuts against each pixel's own value.
// Arguments with every mantissa bit in use make a step computed differently (a fused
// multiply-add, another summation order) show within a few runs.
#include "shadow.hpp"
#include "simd/dispatch.hpp"

#include "common.hpp"

#include <cmath>
#include <cstring>
#include <functional>

namespace {

// Tails of the same arguments, compared as bits; the arguments are what the tables meet
// (0 .. 7 or so) and anything else pick_float gives, NaN excepted (the callers never pass it).
void check_tails(FuzzedDataProvider& in) {
    const size_t n = in.ConsumeIntegralInRange<size_t>(0, 40);
    std::vector<float> z(n);
    for (float& v : z) {
        v = in.ConsumeBool() ? static_cast<float>(in.ConsumeIntegral<uint32_t>()) * 0x1p-29f : fuzz::pick_float(in, 20);
        if (std::isnan(v)) v = 0.5f;
    }
    std::vector<float> q0(n), g0(n), q1(n), g1(n);
    fs::simd::baseline_kernels.shadow_tails(z.data(), q0.data(), g0.data(), n);
    for (const fs::simd::kernels* k : fuzz::fast_tables()) {
        k->shadow_tails(z.data(), q1.data(), g1.data(), n);
        if (n > 0 && (std::memcmp(q0.data(), q1.data(), n * 4) != 0 || std::memcmp(g0.data(), g1.data(), n * 4) != 0)) {
            for (size_t i = 0; i < n; ++i) {
                std::fprintf(stderr, "z %a: q %a %a, g %a %a\n", static_cast<double>(z[i]), static_cast<double>(q0[i]),
                             static_cast<double>(q1[i]), static_cast<double>(g0[i]), static_cast<double>(g1[i]));
            }
            std::fprintf(stderr, "%s: the tails differ from the baseline's\n", k->name);
            std::abort();
        }
    }
}

// Dot products of non-negative values (as the tables hold) of every length up to 70.
void check_dot(FuzzedDataProvider& in) {
    const size_t n = in.ConsumeIntegralInRange<size_t>(0, 70);
    std::vector<float> a(n), b(n);
    for (size_t i = 0; i < n; ++i) {
        a[i] = static_cast<float>(in.ConsumeIntegral<uint32_t>()) * 0x1p-32f;
        b[i] = static_cast<float>(in.ConsumeIntegral<uint32_t>()) * 0x1p-32f;
    }
    const float want = fs::simd::baseline_kernels.shadow_dot(a.data(), b.data(), n);
    for (const fs::simd::kernels* k : fuzz::fast_tables()) {
        const float got = k->shadow_dot(a.data(), b.data(), n);
        if (std::memcmp(&got, &want, 4) != 0) {
            std::fprintf(stderr, "%s: dot of %zu terms is %a, the baseline's %a\n", k->name, n,
                         static_cast<double>(got), static_cast<double>(want));
            std::abort();
        }
    }
}

// A row of corner cuts from dense tables: up to 20 nodes and 30 columns (every tail of the
// eight-column steps), the columns a window of a wider table.
void check_cut_row(FuzzedDataProvider& in) {
    const size_t nodes = in.ConsumeIntegralInRange<size_t>(0, 20), n = in.ConsumeIntegralInRange<size_t>(0, 30);
    const size_t stride = n + in.ConsumeIntegralInRange<size_t>(0, 5);
    const auto unit = [&] { return static_cast<float>(in.ConsumeIntegral<uint32_t>()) * 0x1p-32f; };
    std::vector<float> a(nodes), k(nodes * stride + 1), k_u(n);
    for (float& v : a) v = unit();
    for (float& v : k) v = unit();
    for (float& v : k_u) v = unit();
    const float sum = unit() * 4.0f;
    std::vector<float> want(n), got(n);
    fs::simd::baseline_kernels.shadow_cut_row(a.data(), nodes, k.data(), stride, k_u.data(), sum, want.data(), n);
    for (const fs::simd::kernels* t : fuzz::fast_tables()) {
        t->shadow_cut_row(a.data(), nodes, k.data(), stride, k_u.data(), sum, got.data(), n);
        if (n > 0 && std::memcmp(got.data(), want.data(), n * 4) != 0) {
            std::fprintf(stderr, "%s: a row of cuts (%zu nodes, %zu columns) differs from the baseline's\n", t->name,
                         nodes, n);
            std::abort();
        }
    }
}

// A blur: 0, tiny, below the fine-rule threshold, moderate, or any value up to 30.
double pick_blur(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 4)) {
        case 0:
            return 0.0;
        case 1:
            return std::ldexp(1.0 + in.ConsumeProbability<double>(), -in.ConsumeIntegralInRange<int>(1, 30));
        case 2:
            return in.ConsumeProbability<double>() * 0.4;
        default:
            return in.ConsumeProbability<double>() * 30.0;
    }
}

// The writer's shortcuts (flat spans, rows formed once, mirror images) against every pixel's
// own value from the field: each byte within 1 of alpha_base x V rounded (mirroring may
// subtract the corners in another order, a last bit that can tip a rounding), and every
// value in [0, 1].
void check_writer(const fs::shadow::params& p, const fs::planes& drawn, const std::function<void()>& tell) {
    fs::shadow::field f;
    if (!f.build(p.s, fs::simd::baseline_kernels)) return;
    std::vector<float> v(static_cast<size_t>(p.s.width));
    for (int32_t y = 0; y < p.s.height; ++y) {
        f.row(y, 0, p.s.width, v.data());
        for (int32_t x = 0; x < p.s.width; ++x) {
            const float value = v[static_cast<size_t>(x)];
            const int want = static_cast<int>(static_cast<float>(p.alpha) * value + 0.5f);
            const int got = *drawn.alpha_at(x, y);
            if (!(value >= 0.0f && value <= 1.0f) || got - want > 1 || want - got > 1) {
                std::fprintf(stderr, "pixel %d, %d: value %a, byte %d, its own value gives %d\n", x, y,
                             static_cast<double>(value), got, want);
                tell();
                std::abort();
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);

    const int32_t w = in.ConsumeIntegralInRange<int32_t>(0, 40);
    const int32_t h = in.ConsumeIntegralInRange<int32_t>(0, 40);
    fs::corner_radii radii{};
    if (in.ConsumeBool()) {
        const float r = fuzz::pick_float(in, 30);
        radii = {r, r, r, r};
    } else {
        for (float* r : {&radii.top_left, &radii.top_right, &radii.bottom_right, &radii.bottom_left})
            *r = fuzz::pick_float(in, 30);
    }
    const double blur = pick_blur(in);
    const double spread = in.ConsumeBool() ? 0.0 : (in.ConsumeProbability<double>() * 2.0 - 1.0) * 12.0;
    const uint8_t alpha = in.ConsumeIntegral<uint8_t>();
    const int64_t m = fs::shadow::margin(blur, spread);
    const fs::shadow::params p = fs::shadow::derive(w, h, radii, blur, spread, static_cast<int32_t>(m), alpha);
    const int32_t W = p.s.width, H = p.s.height;

    // The alpha plane: bytes apart or in 4-byte pixels, rows forwards or backwards, padded.
    const std::ptrdiff_t sx = in.PickValueInArray<std::ptrdiff_t>({1, 4, -1, -4});
    const std::ptrdiff_t row = (sx < 0 ? -sx : sx) * W + in.ConsumeIntegralInRange<int>(0, 9);
    const std::ptrdiff_t sy = in.ConsumeBool() ? row : -row;
    fuzz::extent e;
    const std::ptrdiff_t count[2] = {W, H}, stride[2] = {sx, sy};
    if (W > 0 && H > 0) e.cover(0, count, stride, 2);
    fuzz::arena start(e, in);
    for (std::ptrdiff_t y = 0; y < H; ++y)
        for (std::ptrdiff_t x = 0; x < W; ++x) *start.at(x * sx + y * sy) = alpha;
    const auto plane = [&](fuzz::arena& a) { return fs::planes{a.at(0), 0, 0, 0, a.at(0), sx, sy, W, H}; };
    const auto tell = [&] {
        std::fprintf(stderr, "%d x %d, radii %a %a %a %a, blur %a, spread %a, alpha %u, strides %td %td\n", w, h,
                     static_cast<double>(radii.top_left), static_cast<double>(radii.top_right),
                     static_cast<double>(radii.bottom_right), static_cast<double>(radii.bottom_left), blur, spread,
                     alpha, sx, sy);
    };

    fuzz::arena want = start;
    if (!fs::shadow::draw(plane(want), p, fs::simd::baseline_kernels)) return 0;
    check_writer(p, plane(want), tell);
    for (const fs::simd::kernels* k : fuzz::fast_tables()) {
        fuzz::arena got = start;
        if (!fs::shadow::draw(plane(got), p, *k)) return 0;
        fuzz::require_same(got.bytes, want.bytes, k->name, tell);
    }
    // The entries on their own, from what input is left.
    check_tails(in);
    check_dot(in);
    check_cut_row(in);
    return 0;
}
