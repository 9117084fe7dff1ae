// The layout check behind packed_pixels.
#include "planes.hpp"

namespace fs {

bool packed_pixels::bind(const planes& pl) noexcept {
    const int32_t w = pl.width, h = pl.height;
    if (pl.color_x != 4 || pl.alpha_x != 4 || pl.color_y != pl.alpha_y) return false;
    const std::ptrdiff_t pitch = pl.color_y, channel = pl.channel;
    // Rows must not overlap: |pitch| at least a row's bytes (any pitch does for one row).
    if (h > 1 && (pitch < 0 ? -pitch : pitch) < std::ptrdiff_t{4} * w) return false;
    if (channel < -1 || channel > 1 || channel == 0) return false;
    // The alpha byte's place relative to red, by address (the two planes may
    // come from different exports of the same pixels).
    const auto red = reinterpret_cast<std::uintptr_t>(pl.color);
    const auto alpha = reinterpret_cast<std::uintptr_t>(pl.alpha);
    if (alpha > red + 3 || red > alpha + 3) return false;
    const std::ptrdiff_t offs[4] = {0, channel, 2 * channel, static_cast<std::ptrdiff_t>(alpha - red)};
    std::ptrdiff_t low = 0;
    for (const std::ptrdiff_t o : offs) low = o < low ? o : low;
    // The four bytes must be four different places 0..3 above the lowest.
    bool seen[4] = {false, false, false, false};
    int off[4];
    for (int i = 0; i < 4; ++i) {
        const std::ptrdiff_t o = offs[i] - low;
        if (o < 0 || o > 3 || seen[o]) return false;
        seen[o] = true;
        off[i] = static_cast<int>(o);
    }
    std::memcpy(off_, off, sizeof off_);
    base_ = pl.color + low;
    pitch_ = pitch;
    channel_ = channel;
    return true;
}

}  // namespace fs
