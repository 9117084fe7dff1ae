// Run stores for the in-place outline's packed surfaces.
#include "outlined_in_place_store.hpp"

#include "fill_words.hpp"

namespace fs::outlined_in_place {
bool packed_surface::bind(const planes& pl) noexcept {
    if (!px_.bind(pl)) return false;
    const int32_t w = pl.width, h = pl.height;
    // The bytes from the first row's start to the last row's end, whichever
    // way the rows run.
    const std::ptrdiff_t span = h > 0 ? px_.word_at(0, h - 1) - px_.word_at(0, 0) : 0;
    const std::size_t bytes =
        static_cast<std::size_t>(span < 0 ? -span : span) + std::size_t{4} * static_cast<std::size_t>(w);
    stream_ = bytes >= streaming_threshold();
    return true;
}

void packed_surface::finish() const noexcept {
    if (stream_) stream_fence();
}

void packed_surface::run(const params& p, const outcome& o, int32_t x0, int32_t x1, int32_t y,
                         blend_memo& memo) const noexcept {
    if (x1 <= x0) return;
    uint8_t* const row = px_.word_at(0, y);
    switch (o.kind) {
        case outcome::keep:
            return;
        case outcome::clear:
            for (int32_t x = x0; x < x1; ++x) row[x * std::ptrdiff_t{4} + px_.alpha_offset()] = 0;
            return;
        case outcome::paint: {
            const uint32_t word = word_of(o);
            if (x1 - x0 <= short_run) {  // the stroke's few pixels a row: plain stores beat a call
                for (int32_t x = x0; x < x1; ++x) std::memcpy(row + x * std::ptrdiff_t{4}, &word, 4);
                return;
            }
            (stream_ ? stream_words : fill_words)(row + x0 * std::ptrdiff_t{4}, static_cast<std::size_t>(x1 - x0),
                                                  word);
            return;
        }
        case outcome::blend:
            // The composite depends on the old word alone (sa is the run's).
            for (int32_t x = x0; x < x1; ++x) blend(p, o, x, y, memo);
            return;
    }
}

}  // namespace fs::outlined_in_place
