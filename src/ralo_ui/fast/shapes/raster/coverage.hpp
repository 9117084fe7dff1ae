// Exact area coverage of pixels by a rounded rectangle, row by row.
#pragma once

#include <cstdint>

namespace fs::coverage {

// A rounded rectangle in pixel coordinates: pixel (x, y) is the unit square [x, x + 1] x
// [y, y + 1].  Radii top-left, top-right, bottom-right, bottom-left, each already bounded
// to 0 .. half the smaller side (no NaN).  Everything is double: the arc's closed form
// subtracts areas of up to r^2 (about 1e5) to get a pixel's share, which in single precision
// would keep only two decimals.
struct rounded_rect {
    double left, top, right, bottom;
    double radii[4];
};

// The pixels of a row whose coverage is one value: [x0, x1) (x0 == x1 when none), the
// columns the shape covers across the whole row, each by the row's vertical overlap `value`.
struct flat_span {
    int32_t x0, x1;
    float value;
};

// The span of row y (any y) whose pixels lie inside the shape's edges and arcs at every
// height of the row, clipped to [0, width).
flat_span flat(const rounded_rect& shape, int32_t y, int32_t width) noexcept;

// The span of row y (any y) outside which no pixel is covered at all: [x0, x1) between
// where the edges and arcs lie deepest into the shape within the row, a millionth of a pixel
// wider on either side, clipped to [0, width); `value` is the flat span's.  (x0 == x1 when
// the row misses the shape.)
flat_span reach(const rounded_rect& shape, int32_t y, int32_t width) noexcept;

// The area of pixel (x, y) that the shape covers, for x in [x0, x1), into out[x - x0]: 0 to
// 1, rounded once from double to single precision.  Pure; any x and y.
void row(const rounded_rect& shape, int32_t y, int32_t x0, int32_t x1, float* out) noexcept;

// True, with *m set, when every row's pixel x is covered as pixel m - x to the last bit: equal
// radii across the top and across the bottom, and edges and radii on a grid of 2^-20 within
// 2^30 (every frame coordinate `row` forms is then exact) whose left and right edges add up to
// a whole number.  Column by column the two pixels then form the same numbers, and each meets
// at most one corner of either pair (only a pixel its own mirror straddles both), so the cuts
// are subtracted in the same order.
bool mirrored(const rounded_rect& shape, int32_t* m) noexcept;

// True, with *m set, when row y is covered as row m - y to the last bit: equal radii down the
// left and down the right, the top and bottom edges and the radii on that grid with a whole
// sum, and no pixel meeting two corners' squares (each side at least a pixel longer than its
// two radii), so that a pixel's one cut is the only number it subtracts.
bool flipped(const rounded_rect& shape, int32_t* m) noexcept;

}  // namespace fs::coverage
