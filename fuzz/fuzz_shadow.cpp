// The soft shadow: every kernel table against the baseline one, byte for byte, on whole
// shadows (any size, radii, blur, spread and alpha, on alpha planes of any strides) and, bit
// for bit, on the entries the tables differ in: the normal tails, the dot product and a row of
// corner cuts; the writer's shortcuts against each pixel's own value; and its words on packed
// pixels against its pixel-by-pixel path through planes.
// Arguments with every mantissa bit in use make a step computed differently (a fused
// multiply-add, another summation order) show within a few runs.
#include "shadow.hpp"
#include "simd/dispatch.hpp"

#include "common.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

namespace {

struct layout {
    std::ptrdiff_t color_at, csx, csy, csc;  // offsets from a common origin, and strides
    std::ptrdiff_t alpha_at, asx, asy;
    bool packed;
};

// Packed 4-byte pixels in any byte order, rows up or down and padded; or two planes apart,
// colour samples 3 or 4 bytes a pixel and alpha bytes 1 or 4 apart, any way round.  The
// samples of different pixels and planes never share bytes, so that every one can be checked.
layout pick_layout(FuzzedDataProvider& in, int32_t w, int32_t h) {
    const std::ptrdiff_t channel = in.ConsumeBool() ? 1 : -1;
    if (in.ConsumeBool()) {
        const std::ptrdiff_t red =
            channel == 1 ? in.ConsumeIntegralInRange<int>(0, 1) : in.ConsumeIntegralInRange<int>(2, 3);
        const std::ptrdiff_t alpha = std::min(red, red + 2 * channel) == 0 ? 3 : 0;
        std::ptrdiff_t pitch = 4 * std::ptrdiff_t{w} + 4 * in.ConsumeIntegralInRange<int>(0, 3);
        if (in.ConsumeBool()) pitch = -pitch;
        return {red, 4, pitch, channel, alpha, 4, pitch, true};
    }
    const std::ptrdiff_t step = in.ConsumeIntegralInRange<int>(3, 4);
    const std::ptrdiff_t csx = in.ConsumeBool() ? step : -step;
    const std::ptrdiff_t crow = step * w + in.ConsumeIntegralInRange<int>(0, 5);
    const std::ptrdiff_t csy = in.ConsumeBool() ? crow : -crow;
    const std::ptrdiff_t astep = in.PickValueInArray<std::ptrdiff_t>({1, 4});
    const std::ptrdiff_t asx = in.ConsumeBool() ? astep : -astep;
    const std::ptrdiff_t arow = astep * w + in.ConsumeIntegralInRange<int>(0, 9);
    const std::ptrdiff_t asy = in.ConsumeBool() ? arow : -arow;
    // Each plane's origin in the middle of its own span, one span after the other.
    const std::ptrdiff_t color_span = crow * h + 2 * step, alpha_span = arow * h + 2 * astep;
    std::ptrdiff_t color_at = color_span, alpha_at = 2 * color_span + alpha_span;
    if (in.ConsumeBool()) std::swap(color_at, alpha_at);
    return {color_at, csx, csy, channel, alpha_at, asx, asy, false};
}

// An arena holding the layout's two planes for w x h pixels, and the planes in it.
struct target {
    fuzz::arena bytes;
    fs::planes pl;

    target(const layout& l, int32_t w, int32_t h, FuzzedDataProvider& in) : bytes(cover(l, w, h), in) {
        const bool any = w > 0 && h > 0;  // else the arena is one byte, and nothing is reached
        pl = {bytes.at(any ? l.color_at : 0), l.csx, l.csy, l.csc, bytes.at(any ? l.alpha_at : 0), l.asx, l.asy, w, h};
    }
    target(const target& o) : bytes(o.bytes) { rebase(o); }
    target& operator=(const target&) = delete;

private:
    static fuzz::extent cover(const layout& l, int32_t w, int32_t h) {
        fuzz::extent e;
        const std::ptrdiff_t ccount[3] = {w, h, 3}, cstride[3] = {l.csx, l.csy, l.csc};
        const std::ptrdiff_t acount[2] = {w, h}, astride[2] = {l.asx, l.asy};
        if (w > 0 && h > 0) {
            e.cover(l.color_at, ccount, cstride, 3);
            e.cover(l.alpha_at, acount, astride, 2);
        }
        return e;
    }
    // The same planes at the same offsets in this copy's bytes.
    void rebase(const target& o) {
        pl = o.pl;
        const uint8_t* const from = o.bytes.bytes.data();
        uint8_t* const to = bytes.bytes.data();
        pl.color = to + (o.pl.color - from);
        pl.alpha = to + (o.pl.alpha - from);
    }
};

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
// subtract the corners in another order, a last bit that can tip a rounding), every value in
// [0, 1], and every pixel's colour bytes the colour's.
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
            const fs::pixel px = drawn.at(x, y);
            const bool colour = px.rgb[0] == p.rgb[0] && px.rgb[px.channel] == p.rgb[1] &&
                                px.rgb[2 * px.channel] == p.rgb[2];
            if (!(value >= 0.0f && value <= 1.0f) || got - want > 1 || want - got > 1 || !colour) {
                std::fprintf(stderr, "pixel %d, %d: value %a, byte %d, its own value gives %d\n", x, y,
                             static_cast<double>(value), got, want);
                tell();
                std::abort();
            }
        }
    }
}

// Every pixel's four samples alike in two drawings of the same shadow.
void require_same_pixels(const fs::planes& got, const fs::planes& want, const std::function<void()>& tell) {
    for (int32_t y = 0; y < want.height; ++y) {
        for (int32_t x = 0; x < want.width; ++x) {
            const fs::pixel a = got.at(x, y), b = want.at(x, y);
            for (int c = 0; c < 3; ++c) {
                if (a.rgb[c * a.channel] != b.rgb[c * b.channel]) {
                    std::fprintf(stderr, "pixel %d, %d: colour sample %d differs between the layouts\n", x, y, c);
                    tell();
                    std::abort();
                }
            }
            if (*a.alpha != *b.alpha) {
                std::fprintf(stderr, "pixel %d, %d: alpha %u packed, %u on planes\n", x, y, *a.alpha, *b.alpha);
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
    uint8_t rgba[4];
    for (uint8_t& b : rgba) b = in.ConsumeIntegral<uint8_t>();
    const int64_t m = fs::shadow::margin(blur, spread);
    const fs::shadow::params p = fs::shadow::derive(w, h, radii, blur, spread, static_cast<int32_t>(m), rgba);
    const int32_t W = p.s.width, H = p.s.height;

    const layout l = pick_layout(in, W, H);
    const target start(l, W, H, in);
    const auto tell = [&] {
        std::fprintf(stderr,
                     "%d x %d, radii %a %a %a %a, blur %a, spread %a, colour %u %u %u %u, colour strides %td %td %td, "
                     "alpha strides %td %td%s\n",
                     w, h, static_cast<double>(radii.top_left), static_cast<double>(radii.top_right),
                     static_cast<double>(radii.bottom_right), static_cast<double>(radii.bottom_left), blur, spread,
                     rgba[0], rgba[1], rgba[2], rgba[3], l.csx, l.csy, l.csc, l.asx, l.asy, l.packed ? ", packed" : "");
    };

    target want = start;
    if (!fs::shadow::draw(want.pl, p, fs::simd::baseline_kernels)) return 0;
    check_writer(p, want.pl, tell);
    for (const fs::simd::kernels* k : fuzz::fast_tables()) {
        target got = start;
        if (!fs::shadow::draw(got.pl, p, *k)) return 0;
        fuzz::require_same(got.bytes.bytes, want.bytes.bytes, k->name, tell);
    }
    // Packed pixels take whole words: the same samples as the planes' pixel by pixel.
    if (l.packed && W > 0 && H > 0) {
        const target plain(layout{0, 3, 3 * std::ptrdiff_t{W}, 1, 3 * std::ptrdiff_t{W} * H, 1, W, false}, W, H, in);
        if (!fs::shadow::draw(plain.pl, p, fs::simd::baseline_kernels)) return 0;
        require_same_pixels(want.pl, plain.pl, tell);
    }
    // The entries on their own, from what input is left.
    check_tails(in);
    check_dot(in);
    check_cut_row(in);
    return 0;
}
