// Stores the in-place outline's outcomes into a surface whose pixels are packed 4-byte words.
#pragma once

#include "outlined_in_place_pixel.hpp"
#include "planes.hpp"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace fs::outlined_in_place {

// The last composite a run of blended pixels formed: the same old word under
// the same stroke alpha gives the same new word.
struct blend_memo {
    uint32_t old_word = 0, new_word = 0;
    bool valid = false;
};

// The in-place outline's stores on a surface of packed 4-byte pixels.
class packed_surface {
public:
    // Painted runs up to this many pixels are stored word by word, longer ones by fill_words.
    static constexpr int32_t short_run = 4;

    // False (and nothing usable) unless both planes are packed_pixels.  The
    // painted runs of a surface past streaming_threshold() bytes are stored past
    // the caches.
    bool bind(const planes& pl) noexcept;

    // Completes the streamed stores: called once the last run is written.
    void finish() const noexcept;

    // One pixel's samples, as the full loop addresses them.
    pixel at(int32_t x, int32_t y) const noexcept {
        uint8_t* const word = px_.word_at(x, y);
        return {word + px_.red_offset(), px_.channel_stride(), word + px_.alpha_offset()};
    }

    // The word that paints `o`: its four bytes at their offsets.
    uint32_t word_of(const outcome& o) const noexcept { return px_.word_of(o.r, o.g, o.b, o.a); }

    // True when painted runs are stored past the caches (a large surface).
    bool streamed() const noexcept { return stream_; }

    // Row `to`'s first w pixels become row `from`'s (two different rows).
    void copy_row(int32_t from, int32_t to, int32_t w) const noexcept {
        std::memcpy(px_.word_at(0, to), px_.word_at(0, from), std::size_t{4} * static_cast<std::size_t>(w));
    }

    // The word `word` at pixel (x, y).
    void put_word(uint32_t word, int32_t x, int32_t y) const noexcept { std::memcpy(px_.word_at(x, y), &word, 4); }

    // Outcome `o` at pixel (x, y).
    void put(const params& p, const outcome& o, int32_t x, int32_t y) const noexcept {
        if (o.kind == outcome::paint) {
            const uint32_t word = word_of(o);
            std::memcpy(px_.word_at(x, y), &word, 4);
        } else {
            apply(p, o, at(x, y));
        }
    }

    // The blend of `o` at pixel (x, y); `memo` serves blends under o.sa only.
    void blend(const params& p, const outcome& o, int32_t x, int32_t y, blend_memo& memo) const noexcept {
        uint8_t* const word = px_.word_at(x, y);
        uint32_t old;
        std::memcpy(&old, word, 4);
        if (memo.valid && old == memo.old_word) {
            std::memcpy(word, &memo.new_word, 4);
            return;
        }
        blend_over_content(o.sa, p, at(x, y));
        memo.old_word = old;
        std::memcpy(&memo.new_word, word, 4);
        memo.valid = true;
    }

    // Outcome `o` at every pixel x0 <= x < x1 of row y; `memo` serves blends
    // under o.sa only.
    void run(const params& p, const outcome& o, int32_t x0, int32_t x1, int32_t y, blend_memo& memo) const noexcept;

private:
    packed_pixels px_;
    bool stream_ = false;  // painted runs go through stream_words
};

}  // namespace fs::outlined_in_place
