// The in-place outline by runs: the exact rule only where neighbouring pixels can differ.
#pragma once

#include "outlined_in_place_pixel.hpp"
#include "outlined_in_place_store.hpp"

#include <cstdint>

namespace fs::outlined_in_place {

// True when the per-call values meet what draw_runs relies on: finite,
// moderate values and a surface of at most 2^23 pixels a side.
bool runs_apply(const params& p, int32_t w, int32_t h) noexcept;

// Every pixel of the w x h surface, byte for byte what the full loop writes.
// Requires runs_apply(p, w, h) and a bound `surface`; runs detached.
void draw_runs(const params& p, bool with_background, const packed_surface& surface, int32_t w, int32_t h) noexcept;

}  // namespace fs::outlined_in_place
