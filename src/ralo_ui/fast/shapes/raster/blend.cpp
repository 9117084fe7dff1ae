// The plain compositing loop and the baseline table's entry.
#include "blend.hpp"

#include "simd/dispatch.hpp"

#include <bit>

namespace fs::blend {

paint make_paint(const layout& at, uint8_t r, uint8_t g, uint8_t b, uint8_t a) noexcept {
    paint p{};
    p.at = at;
    p.color[0] = r;
    p.color[1] = g;
    p.color[2] = b;
    p.alpha = static_cast<float>(a) / 255.0f;
    p.opaque = a == 255;
    uint8_t bytes[4] = {0, 0, 0, 0};
    bytes[at.red] = r;
    bytes[at.green] = g;
    bytes[at.blue] = b;
    if (at.alpha >= 0) bytes[at.alpha] = 255;
    p.word = std::bit_cast<uint32_t>(bytes);
    return p;
}

void row_scalar(uint8_t* dst, const float* cov, std::size_t n, const paint& p) noexcept {
    const auto step = static_cast<std::size_t>(p.at.bytes);
    for (std::size_t i = 0; i < n; ++i) pixel(dst + i * step, cov[i], p);
}

void fill_triples(uint8_t* dst, std::size_t n, const paint& p) noexcept {
    const auto r = static_cast<uint8_t>(p.color[0]), g = static_cast<uint8_t>(p.color[1]),
               b = static_cast<uint8_t>(p.color[2]);
    for (std::size_t i = 0; i < n; ++i, dst += 3) {
        dst[p.at.red] = r;
        dst[p.at.green] = g;
        dst[p.at.blue] = b;
    }
}

}  // namespace fs::blend

namespace fs::simd::baseline {

void blend_row(uint8_t* dst, const float* cov, std::size_t n, const blend::paint& p) noexcept {
    blend::row_scalar(dst, cov, n, p);
}

}  // namespace fs::simd::baseline
