// Layout check and run stores for the in-place outline's packed surfaces.
#include "outline_store.hpp"

#include "outline_fill.hpp"

namespace fs::outline {

bool packed_surface::bind(const surface_views& views, int32_t w, int32_t h) noexcept {
    const pixel_view& c = views.color;
    const pixel_view& a = views.alpha;
    if (c.strides[0] != 4 || a.strides[0] != 4 || c.strides[1] != a.strides[1]) return false;
    const std::ptrdiff_t pitch = c.strides[1], channel = c.strides[2];
    // Rows must not overlap: |pitch| at least a row's bytes (any pitch does for one row).
    if (h > 1 && (pitch < 0 ? -pitch : pitch) < std::ptrdiff_t{4} * w) return false;
    if (channel < -1 || channel > 1 || channel == 0) return false;
    // The alpha byte's place relative to red, by address (the two views may
    // come from different exports of the same pixels).
    const auto red = reinterpret_cast<std::uintptr_t>(c.data);
    const auto alpha = reinterpret_cast<std::uintptr_t>(a.data);
    if (alpha > red + 3 || red > alpha + 3) return false;
    const std::ptrdiff_t offs[4] = {0, channel, 2 * channel,
                                    static_cast<std::ptrdiff_t>(alpha - red)};
    std::ptrdiff_t low = 0;
    for (const std::ptrdiff_t o : offs) low = o < low ? o : low;
    // The four bytes must be four different places 0..3 above the lowest.
    bool seen[4] = {false, false, false, false};
    for (int i = 0; i < 4; ++i) {
        const std::ptrdiff_t o = offs[i] - low;
        if (o < 0 || o > 3 || seen[o]) return false;
        seen[o] = true;
        off_[i] = static_cast<int>(o);
    }
    base_ = c.data + low;
    pitch_ = pitch;
    channel_ = channel;
    return true;
}

void packed_surface::run(const params& p, const outcome& o, int32_t x0, int32_t x1, int32_t y,
                         blend_memo& memo) const noexcept {
    if (x1 <= x0) return;
    uint8_t* const row = base_ + y * pitch_;
    switch (o.kind) {
        case outcome::keep:
            return;
        case outcome::clear:
            for (int32_t x = x0; x < x1; ++x) row[x * std::ptrdiff_t{4} + off_[3]] = 0;
            return;
        case outcome::paint:
            fill_words(row + x0 * std::ptrdiff_t{4}, static_cast<std::size_t>(x1 - x0), word_of(o));
            return;
        case outcome::blend:
            // The composite depends on the old word alone (sa is the run's).
            for (int32_t x = x0; x < x1; ++x) {
                uint8_t* const word = row + x * std::ptrdiff_t{4};
                uint32_t old;
                std::memcpy(&old, word, 4);
                if (memo.valid && old == memo.old_word) {
                    std::memcpy(word, &memo.new_word, 4);
                    continue;
                }
                blend_over_content(o.sa, p, at(x, y));
                memo.old_word = old;
                std::memcpy(&memo.new_word, word, 4);
                memo.valid = true;
            }
            return;
    }
}

}  // namespace fs::outline
