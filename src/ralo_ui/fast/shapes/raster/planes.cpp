// The layout check behind packed_pixels.
#include "planes.hpp"

#include <algorithm>

namespace fs {
namespace {

// Both planes step 4 bytes a pixel and share a row pitch; rows do not overlap (|pitch| is at
// least a row's bytes, any pitch does for one row); the channels are adjacent bytes.
bool rows_of_words(const planes& pl) noexcept {
    if (pl.color_x != 4 || pl.alpha_x != 4 || pl.color_y != pl.alpha_y) return false;
    const std::ptrdiff_t pitch = pl.color_y;
    if (pl.height > 1 && (pitch < 0 ? -pitch : pitch) < std::ptrdiff_t{4} * pl.width) return false;
    return pl.channel == -1 || pl.channel == 1;
}

// Where red, green, blue and alpha lie above the lowest of their four bytes, which must be
// four different places 0..3; `low` is the lowest's offset from red.  The colour channels
// are adjacent (rows_of_words), so alpha must take the fourth place, at either end of them.
bool byte_offsets(const planes& pl, int off[4], std::ptrdiff_t& low) noexcept {
    // The alpha byte's place relative to red, by address (the two planes may
    // come from different exports of the same pixels).
    const auto red = reinterpret_cast<std::uintptr_t>(pl.color);
    const auto alpha = reinterpret_cast<std::uintptr_t>(pl.alpha);
    if (alpha > red + 3 || red > alpha + 3) return false;
    const auto a = static_cast<std::ptrdiff_t>(alpha - red);  // -3..3
    const std::ptrdiff_t channel = pl.channel;                // -1 or 1
    if (a != 3 * channel && a != -channel) return false;
    const std::ptrdiff_t offs[4] = {0, channel, 2 * channel, a};
    low = std::min({std::ptrdiff_t{0}, 2 * channel, a});
    for (int i = 0; i < 4; ++i) off[i] = static_cast<int>(offs[i] - low);
    return true;
}

}  // namespace

bool packed_pixels::bind(const planes& pl) noexcept {
    int off[4];
    std::ptrdiff_t low = 0;
    if (!rows_of_words(pl) || !byte_offsets(pl, off, low)) return false;
    std::memcpy(off_, off, sizeof off_);
    base_ = pl.color + low;
    pitch_ = pl.color_y;
    channel_ = pl.channel;
    return true;
}

}  // namespace fs
