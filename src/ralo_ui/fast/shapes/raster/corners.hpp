// The anti-aliased rounded-corner alpha loop shared by the filled and the in-place rasterisers.
#pragma once

#include "geometry.hpp"
#include "planes.hpp"

#include <cstdint>

namespace fs {

// What a pixel on the one-pixel ramp of the edge gets, from its coverage (about
// 0 to 1).  Either product is rounded to single precision, truncated toward zero
// (saturating at the int32 limits, so any alpha is defined) and stored as its low
// eight bits.
enum class edge_rule : uint8_t {
    scaled,  // coverage x `alpha`: a colour's alpha, rounded to single precision by the caller
    kept,    // the pixel's own alpha x coverage; `alpha` is not used
};

// Rewrites the alpha (only) of the four corner squares from the rounded-box signed
// distance, in the order top-left, top-right, bottom-left, bottom-right; rows
// top to bottom, columns left to right.  A pixel at least half a pixel outside
// the edge gets alpha 0, a pixel at least half a pixel inside is not touched,
// and a pixel on the ramp between gets what `rule` says.
//
// Makes no interpreter call: it runs detached.  All geometry is single
// precision, as is every intermediate value.  Where the processor has AVX2 and
// FMA the rows run eight pixels at a time with the same operations per pixel,
// so the bytes do not depend on the processor.
void round_corners(const planes& plane, const corner_geometry& g, edge_rule rule, float alpha) noexcept;

}  // namespace fs
