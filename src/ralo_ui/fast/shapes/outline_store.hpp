// Stores the in-place outline's outcomes into a surface whose pixels are packed 4-byte words.
#pragma once

#include "outline_pixel.hpp"
#include "pixel_view.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace fs::outline {

// The last composite a run of blended pixels formed: the same old word under
// the same stroke alpha gives the same new word.
struct blend_memo {
    uint32_t old_word = 0, new_word = 0;
    bool valid = false;
};

// The two planes of a surface seen as rows of 4-byte pixels.  Only a layout in
// which every pixel owns four distinct bytes (red, green, blue, alpha in some
// order) and no two pixels share one is accepted: then pixels can be written
// in any order and a run of equal outcomes becomes a run of equal words.
class packed_surface {
public:
    // False (and nothing usable) unless both views have that layout for w x h pixels.
    bool bind(const surface_views& views, int32_t w, int32_t h) noexcept;

    // One pixel's samples, as the full loop addresses them.
    pixel at(int32_t x, int32_t y) const noexcept {
        uint8_t* const word = base_ + y * pitch_ + x * std::ptrdiff_t{4};
        return {word + off_[0], channel_, word + off_[3]};
    }

    // The word that paints `o`: its four bytes at their offsets.
    uint32_t word_of(const outcome& o) const noexcept {
        uint8_t bytes[4];
        bytes[off_[0]] = o.r;
        bytes[off_[1]] = o.g;
        bytes[off_[2]] = o.b;
        bytes[off_[3]] = o.a;
        uint32_t word;
        std::memcpy(&word, bytes, 4);
        return word;
    }

    // Outcome `o` at pixel (x, y).
    void put(const params& p, const outcome& o, int32_t x, int32_t y) const noexcept {
        if (o.kind == outcome::paint) {
            const uint32_t word = word_of(o);
            std::memcpy(base_ + y * pitch_ + x * std::ptrdiff_t{4}, &word, 4);
        } else {
            apply(p, o, at(x, y));
        }
    }

    // Outcome `o` at every pixel x0 <= x < x1 of row y; `memo` serves blends
    // under o.sa only.
    void run(const params& p, const outcome& o, int32_t x0, int32_t x1, int32_t y,
             blend_memo& memo) const noexcept;

private:
    uint8_t* base_ = nullptr;       // first byte of pixel (0, 0)
    std::ptrdiff_t pitch_ = 0;      // bytes from a row to the next (any sign)
    std::ptrdiff_t channel_ = 0;    // the colour view's channel stride
    int off_[4] = {0, 0, 0, 0};     // offsets of red, green, blue, alpha in a pixel
};

}  // namespace fs::outline
