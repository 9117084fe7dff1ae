// packed_pixels: a surface's two views seen as rows of 4-byte pixels, where that is what they are.
#pragma once

#include "binding/pixel_view.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace fs {

// Only a layout in which every pixel owns four distinct bytes (red, green,
// blue, alpha in some order) and no two pixels share one is accepted; pygame's
// own surfaces have it.  Then pixels can be written in any order, a pixel is
// one 4-byte word and a run of equal pixels a run of equal words.
class packed_pixels {
public:
    // False (and nothing usable) unless both views have that layout for w x h pixels.
    bool bind(const surface_views& views, int32_t w, int32_t h) noexcept;

    // The first of the four bytes of pixel (x, y).
    uint8_t* word_at(std::ptrdiff_t x, std::ptrdiff_t y) const noexcept {
        return base_ + y * pitch_ + x * std::ptrdiff_t{4};
    }
    // Where red and alpha lie in a pixel's word, and the colour view's channel stride.
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
    std::ptrdiff_t channel_ = 0;  // the colour view's channel stride
    int off_[4] = {0, 0, 0, 0};   // offsets of red, green, blue, alpha in a pixel
};

}  // namespace fs
