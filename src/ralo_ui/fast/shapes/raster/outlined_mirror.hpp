// The outline's corner squares as mirror images of the top-left one: the test and the copy.
#pragma once

#include "planes.hpp"
#include "portable.hpp"

#include <cstdint>
#include <cstring>

namespace fs::outlined {
// Internal linkage on purpose, as in outlined_rows.hpp: the baseline unit and the AVX2 unit
// each get their own copy, compiled with their own flags.
namespace {

// The top-left square's rows and their mirror rows, as words: row y of the square and
// the same row of the top-right one, then the bottom rows H - 1 - y likewise, each right
// square's row read from its right end.  Locals, so that no store can alias them.
struct square_rows {
    uint8_t* top_left;
    uint8_t* top_right_end;
    uint8_t* bottom_left;
    uint8_t* bottom_right_end;

    square_rows(const packed_pixels& px, int64_t W, int64_t H, int64_t y) noexcept
        : top_left(px.word_at(0, y)),
          top_right_end(px.word_at(W - 1, y)),
          bottom_left(px.word_at(0, H - 1 - y)),
          bottom_right_end(px.word_at(W - 1, H - 1 - y)) {}
};

uint32_t load_word(const uint8_t* p) noexcept {
    uint32_t word;
    std::memcpy(&word, p, 4);
    return word;
}

// Two neighbouring words at once; with its halves swapped, a pair holds the same two
// words in mirror order (whichever way the machine orders bytes).
uint64_t load_pair(const uint8_t* p) noexcept {
    uint64_t pair;
    std::memcpy(&pair, p, 8);
    return pair;
}
void store_pair(uint8_t* p, uint64_t pair) noexcept { std::memcpy(p, &pair, 8); }
uint64_t swap_halves(uint64_t pair) noexcept { return pair << 32 | pair >> 32; }

// True when the three other squares hold the mirror images of the top-left one's words.
// Pixels x and x + 1 of a row mirror to the right square's pair that ends at its x.
FS_ALWAYS_INLINE bool squares_mirrored_by_pairs(const packed_pixels& px, int64_t W, int64_t H, int64_t box) noexcept {
    for (int64_t y = 0; y < box; ++y) {
        const square_rows r(px, W, H, y);
        uint64_t differ = 0;  // no early exit within a row: fewer branches
        int64_t x = 0;
        for (; x + 2 <= box; x += 2) {
            const uint64_t pair = load_pair(r.top_left + 4 * x);
            differ |= (swap_halves(load_pair(r.top_right_end - 4 * (x + 1))) ^ pair) |
                      (load_pair(r.bottom_left + 4 * x) ^ pair) |
                      (swap_halves(load_pair(r.bottom_right_end - 4 * (x + 1))) ^ pair);
        }
        if (x < box) {
            const uint32_t word = load_word(r.top_left + 4 * x);
            differ |= (load_word(r.top_right_end - 4 * x) ^ word) | (load_word(r.bottom_left + 4 * x) ^ word) |
                      (load_word(r.bottom_right_end - 4 * x) ^ word);
        }
        if (differ != 0) return false;
    }
    return true;
}

// Copies the top-left square's words to their mirror images, two at a time.
FS_ALWAYS_INLINE void mirror_top_left_by_pairs(const packed_pixels& px, int64_t W, int64_t H, int64_t box) noexcept {
    for (int64_t y = 0; y < box; ++y) {
        const square_rows r(px, W, H, y);
        int64_t x = 0;
        for (; x + 2 <= box; x += 2) {
            const uint64_t pair = load_pair(r.top_left + 4 * x);
            store_pair(r.bottom_left + 4 * x, pair);
            store_pair(r.top_right_end - 4 * (x + 1), swap_halves(pair));
            store_pair(r.bottom_right_end - 4 * (x + 1), swap_halves(pair));
        }
        if (x < box) {
            const uint8_t* const word = r.top_left + 4 * x;
            std::memcpy(r.bottom_left + 4 * x, word, 4);
            std::memcpy(r.top_right_end - 4 * x, word, 4);
            std::memcpy(r.bottom_right_end - 4 * x, word, 4);
        }
    }
}

}  // namespace
}  // namespace fs::outlined
