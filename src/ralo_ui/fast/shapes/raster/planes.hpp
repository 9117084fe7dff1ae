// planes: the kernels' one way to reach pixels, as two strided planes or as packed 4-byte pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace fs {

// One pixel's samples: red at `rgb`, green and blue `channel` bytes apart (any sign).
struct pixel {
    uint8_t* rgb;
    std::ptrdiff_t channel;
    uint8_t* alpha;

    void set_rgb(uint8_t r, uint8_t g, uint8_t b) const noexcept {
        rgb[0] = r;
        rgb[channel] = g;
        rgb[2 * channel] = b;
    }
};

// A width x height surface as two planes: three colour samples per pixel,
// `channel` bytes apart, and one alpha sample.  The samples of pixel (x, y) lie
// at color + x * color_x + y * color_y (+ c * channel) and alpha + x * alpha_x +
// y * alpha_y.  Strides are signed byte distances of any value; the planes may
// share bytes.  Addressing is bare: callers stay within width x height.
struct planes {
    uint8_t* color;
    std::ptrdiff_t color_x, color_y, channel;
    uint8_t* alpha;
    std::ptrdiff_t alpha_x, alpha_y;
    int32_t width, height;

    uint8_t* color_at(std::ptrdiff_t x, std::ptrdiff_t y) const noexcept { return color + x * color_x + y * color_y; }
    uint8_t* alpha_at(std::ptrdiff_t x, std::ptrdiff_t y) const noexcept { return alpha + x * alpha_x + y * alpha_y; }
    pixel at(std::ptrdiff_t x, std::ptrdiff_t y) const noexcept { return {color_at(x, y), channel, alpha_at(x, y)}; }
};

// True when the alpha plane spans so few bytes that the fill just before left it (and,
// on pygame's surfaces, the colour samples beside it) in the nearest caches: asking for
// its lines again would cost more than it saves.  For prefetch hints only.
inline bool cache_resident(const planes& plane) noexcept {
    constexpr int64_t resident_bytes = 64 * 1024;
    const int64_t y = plane.alpha_y < 0 ? -static_cast<int64_t>(plane.alpha_y) : int64_t{plane.alpha_y};
    return y * plane.height <= resident_bytes;
}

// The same surface seen as rows of 4-byte pixels, where that is what it is.
// Only a layout in which every pixel owns four distinct bytes (red, green,
// blue, alpha in some order) and no two pixels share one is accepted; pygame's
// own surfaces have it.  Then pixels can be written in any order, a pixel is
// one 4-byte word and a run of equal pixels a run of equal words.
class packed_pixels {
public:
    // False (and nothing usable) unless both planes have that layout.
    bool bind(const planes& pl) noexcept;

    // The first of the four bytes of pixel (x, y).
    uint8_t* word_at(std::ptrdiff_t x, std::ptrdiff_t y) const noexcept {
        return base_ + y * pitch_ + x * std::ptrdiff_t{4};
    }
    // Where red and alpha lie in a pixel's word, and the colour plane's channel stride.
    int red_offset() const noexcept { return off_[0]; }
    int alpha_offset() const noexcept { return off_[3]; }
    std::ptrdiff_t channel_stride() const noexcept { return channel_; }

    // The word that holds these four samples, each at its offset.
    uint32_t word_of(uint8_t r, uint8_t g, uint8_t b, uint8_t a) const noexcept {
        uint8_t bytes[4];
        bytes[off_[0]] = r;
        bytes[off_[1]] = g;
        bytes[off_[2]] = b;
        bytes[off_[3]] = a;
        uint32_t word;
        std::memcpy(&word, bytes, 4);
        return word;
    }

private:
    uint8_t* base_ = nullptr;     // first byte of pixel (0, 0)
    std::ptrdiff_t pitch_ = 0;    // bytes from a row to the next (any sign)
    std::ptrdiff_t channel_ = 0;  // the colour plane's channel stride
    int off_[4] = {0, 0, 0, 0};   // offsets of red, green, blue, alpha in a pixel
};

}  // namespace fs
