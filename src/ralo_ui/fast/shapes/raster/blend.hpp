// Compositing a colour over the pixels of a 24- or 32-bit surface, pixel by pixel with its coverage.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fs::blend {

// Where a pixel's samples lie: `bytes` per pixel (3 or 4) and the byte offsets of red, green
// and blue within it, and of alpha (-1 on a surface without per-pixel alpha).
struct layout {
    int bytes;
    int red, green, blue, alpha;
};

// What is composited: the colour's samples and its alpha as fractions, and the pixel an
// opaque colour writes where it covers a pixel wholly (4-byte layouts: the whole word, as
// the surface maps the colour; 3-byte ones: the colour's samples at their offsets).
struct paint {
    layout at;
    float color[3];  // red, green, blue, 0 .. 255
    float alpha;     // the colour's alpha / 255
    uint32_t word;   // the opaque pixel of a 4-byte layout
    bool opaque;     // alpha is 1
};

// The paint of colour (r, g, b, a) in layout `at`: `word` is r, g, b (and 255 for alpha)
// at their offsets, every other byte 0.
paint make_paint(const layout& at, uint8_t r, uint8_t g, uint8_t b, uint8_t a) noexcept;

// A sample from its exact value v in [0, 255.5): rounded to nearest, at most 255.
inline uint8_t to_byte(float v) noexcept {
    const float up = v + 0.5f;
    return static_cast<uint8_t>(up < 255.0f ? up : 255.0f);
}

// Composites the paint over pixel `px` with coverage `cov` in [0, 1]: source alpha
// s = alpha x cov (nothing happens for s = 0).  Without per-pixel alpha each colour sample
// becomes d + s (c - d) and no other byte is written; with it the colour goes over the pixel
// (straight alpha): keep = a_d (1 - s), a = s + keep, each sample (c s + d keep) / a and the
// alpha 255 a.  Every step is one correctly rounded single-precision operation, in this
// order: the vector kernels perform the same ones.
inline void pixel(uint8_t* px, float cov, const paint& p) noexcept {
    const float s = p.alpha * cov;
    if (!(s > 0.0f)) return;
    const int off[3] = {p.at.red, p.at.green, p.at.blue};
    if (p.at.alpha < 0) {
        for (int c = 0; c < 3; ++c) {
            const float d = px[off[c]];
            px[off[c]] = to_byte(d + s * (p.color[c] - d));
        }
        return;
    }
    const float keep = (static_cast<float>(px[p.at.alpha]) / 255.0f) * (1.0f - s);
    const float a = s + keep;
    for (int c = 0; c < 3; ++c) {
        const float d = px[off[c]];
        px[off[c]] = to_byte((p.color[c] * s + d * keep) / a);
    }
    px[p.at.alpha] = to_byte(a * 255.0f);
}

// The plain loop: pixel i of the n from `dst` (p.at.bytes apart) with coverage cov[i].
void row_scalar(uint8_t* dst, const float* cov, std::size_t n, const paint& p) noexcept;

// n pixels from `dst` set to the opaque colour (3-byte layouts; 4-byte ones fill words).
void fill_triples(uint8_t* dst, std::size_t n, const paint& p) noexcept;

}  // namespace fs::blend
