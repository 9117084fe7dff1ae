// Exact area coverage: the rectangle's overlap, less what the four corner arcs cut away.
#include "coverage.hpp"

#include "numeric.hpp"

#include <algorithm>
#include <cmath>

namespace fs::coverage {
namespace {

// The length of [a0, a1] inside [b0, b1], or 0.
double overlap(double a0, double a1, double b0, double b1) noexcept {
    return std::max(0.0, std::min(a1, b1) - std::max(a0, b0));
}

// The integral of sqrt(r^2 - p^2) from 0 to p, for 0 <= p <= r: the area under a quarter
// circle.  std::asin and std::sqrt are the C library's (only the baseline code calls this):
// a last-bit difference between platforms moves a pixel's area by about 1e-11.
double under_arc(double p, double r) noexcept {
    const double ratio = std::min(p / r, 1.0);
    return 0.5 * (p * std::sqrt(std::max(r * r - p * p, 0.0)) + r * r * std::asin(ratio));
}

// What a corner of radius r cuts from the box [p0, p1] x [q0, q1], given in the corner's own
// frame: p and q measured from the corner circle's centre toward the corner, so that the
// corner square is [0, r]^2 and the shape keeps the part of it with p^2 + q^2 <= r^2.  Only
// p >= p_min and q >= q_min lie inside the rectangle: 0 unless the radius is larger than the
// side across (the inner shape of a border whose other corner on that side is square).
double corner_cut(double p0, double p1, double q0, double q1, double r, double p_min, double q_min) noexcept {
    p0 = std::max(p0, p_min);
    p1 = std::min(p1, r);
    q0 = std::max(q0, q_min);
    q1 = std::min(q1, r);
    if (!(p1 > p0 && q1 > q0)) return 0.0;
    // Most boxes lie wholly inside the circle or wholly outside it.
    const double rr = r * r;
    if (p1 * p1 + q1 * q1 <= rr) return 0.0;
    if (p0 * p0 + q0 * q0 >= rr) return (p1 - p0) * (q1 - q0);
    // The arc q = sqrt(r^2 - p^2) leaves the box's top at p = pa and its bottom at p = pb.
    const double pa = std::sqrt(std::max(rr - q1 * q1, 0.0));
    const double pb = std::sqrt(std::max(rr - q0 * q0, 0.0));
    const double full = (q1 - q0) * std::max(0.0, std::min(p1, pa) - p0);  // columns under the arc's top
    const double lo = std::max(p0, pa), hi = std::min(p1, pb);
    const double part = hi > lo ? under_arc(hi, r) - under_arc(lo, r) - q0 * (hi - lo) : 0.0;
    return std::max(0.0, (p1 - p0) * (q1 - q0) - (full + part));
}

// Where an arc of radius r lies, inward from its vertical edge, at depth d into its corner
// square (0 past it).
double arc_inset(double r, double d) noexcept {
    const double h = r - std::clamp(d, 0.0, r);
    return r - std::sqrt(std::max(r * r - h * h, 0.0));
}

}  // namespace

flat_span reach(const rounded_rect& s, int32_t y, int32_t width) noexcept {
    const double y0 = y, y1 = y0 + 1.0;
    const double value = overlap(y0, y1, s.top, s.bottom);
    if (!(value > 0.0)) return {0, 0, 0.0f};
    // The row's deepest heights into the top and the bottom corners' squares: each corner cuts
    // in at least as far as it does there, all along the row.
    const double top_depth = std::min(y1, s.bottom) - s.top, bottom_depth = s.bottom - std::max(y0, s.top);
    const double tl = s.radii[0], tr = s.radii[1], br = s.radii[2], bl = s.radii[3];
    const double left = s.left + std::max(arc_inset(tl, top_depth), arc_inset(bl, bottom_depth));
    const double right = s.right - std::max(arc_inset(tr, top_depth), arc_inset(br, bottom_depth));
    constexpr double slack = 1e-6;
    const double first = std::clamp(std::floor(left - slack), 0.0, static_cast<double>(width));
    const double last = std::clamp(std::ceil(right + slack), 0.0, static_cast<double>(width));
    flat_span span{trunc_to_int32(first), trunc_to_int32(last), narrow(value)};
    if (span.x1 < span.x0) span.x1 = span.x0;
    return span;
}

flat_span flat(const rounded_rect& s, int32_t y, int32_t width) noexcept {
    const double y0 = y, y1 = y0 + 1.0;
    const double value = overlap(y0, y1, s.top, s.bottom);
    // The row's pixels are whole where every arc it meets leaves them, that is at the row's
    // edge nearer the corner (clipped to the shape).
    double left = s.left, right = s.right;
    const double tl = s.radii[0], tr = s.radii[1], br = s.radii[2], bl = s.radii[3];
    const double top_depth = std::max(y0, s.top) - s.top, bottom_depth = s.bottom - std::min(y1, s.bottom);
    if (y0 < s.top + tl) left = std::max(left, s.left + arc_inset(tl, top_depth));
    if (y1 > s.bottom - bl) left = std::max(left, s.left + arc_inset(bl, bottom_depth));
    if (y0 < s.top + tr) right = std::min(right, s.right - arc_inset(tr, top_depth));
    if (y1 > s.bottom - br) right = std::min(right, s.right - arc_inset(br, bottom_depth));
    // Columns [ceil(left), floor(right)) lie inside; the clamps keep huge edges in int32.
    const double first = std::clamp(std::ceil(left), 0.0, static_cast<double>(width));
    const double last = std::clamp(std::floor(right), 0.0, static_cast<double>(width));
    flat_span span{trunc_to_int32(first), trunc_to_int32(last), narrow(value)};
    if (span.x1 < span.x0 || !(value > 0.0)) span.x1 = span.x0;
    return span;
}

void row(const rounded_rect& s, int32_t y, int32_t x0, int32_t x1, float* out) noexcept {
    const double y0 = y, y1 = y0 + 1.0;
    const double across = overlap(y0, y1, s.top, s.bottom);
    // Each corner's circle centre and the direction toward its corner.
    const double cx[4] = {s.left + s.radii[0], s.right - s.radii[1], s.right - s.radii[2], s.left + s.radii[3]};
    const double cy[4] = {s.top + s.radii[0], s.top + s.radii[1], s.bottom - s.radii[2], s.bottom - s.radii[3]};
    const bool left_side[4] = {true, false, false, true};
    const bool top_side[4] = {true, true, false, false};
    // The corners whose square this row meets, and where the opposite sides cross their squares.
    bool meets[4];
    double p_min[4], q_min[4];
    for (int c = 0; c < 4; ++c) {
        const double r = s.radii[c];
        meets[c] = r > 0.0 && (top_side[c] ? y0 < cy[c] : y1 > cy[c]);
        p_min[c] = std::max(0.0, left_side[c] ? cx[c] - s.right : s.left - cx[c]);
        q_min[c] = std::max(0.0, top_side[c] ? cy[c] - s.bottom : s.top - cy[c]);
    }
    for (int32_t x = x0; x < x1; ++x) {
        const double px0 = x, px1 = px0 + 1.0;
        double area = across > 0.0 ? overlap(px0, px1, s.left, s.right) * across : 0.0;
        for (int c = 0; c < 4 && area > 0.0; ++c) {
            if (!meets[c]) continue;
            const double r = s.radii[c];
            const double p0 = left_side[c] ? cx[c] - px1 : px0 - cx[c];
            const double q0 = top_side[c] ? cy[c] - y1 : y0 - cy[c];
            area -= corner_cut(p0, p0 + 1.0, q0, q0 + 1.0, r, p_min[c], q_min[c]);
        }
        out[x - x0] = narrow(std::clamp(area, 0.0, 1.0));
    }
}

namespace {

// Within 2^30 on a grid of 2^-20: sums and differences of a few such are exact in double.
bool on_grid(double v) noexcept {
    constexpr double scale = 1048576.0, bound = 1073741824.0;
    return std::abs(v) < bound && v * scale == std::floor(v * scale);
}

// m = a + b - 1 when a and b are on the grid and add up to a whole number.
bool whole_sum(double a, double b, int32_t* m) noexcept {
    if (!on_grid(a) || !on_grid(b)) return false;
    const double sum = a + b - 1.0;
    if (sum != std::floor(sum)) return false;
    *m = trunc_to_int32(sum);  // within int32 by the grid's bound
    return true;
}

}  // namespace

bool mirrored(const rounded_rect& s, int32_t* m) noexcept {
    if (s.radii[0] != s.radii[1] || s.radii[3] != s.radii[2]) return false;
    return on_grid(s.radii[0]) && on_grid(s.radii[2]) && whole_sum(s.left, s.right, m);
}

bool flipped(const rounded_rect& s, int32_t* m) noexcept {
    const double tl = s.radii[0], tr = s.radii[1], br = s.radii[2], bl = s.radii[3];
    if (tl != bl || tr != br || !on_grid(tl) || !on_grid(tr)) return false;
    // A pixel meets two corners' squares only where a side is shorter than its radii and a
    // pixel; a second pixel of slack covers the rounding of right - left.
    const double across = s.right - s.left, down = s.bottom - s.top;
    if (!(tl + tr + 2.0 <= across && bl + br + 2.0 <= across && tl + bl + 2.0 <= down && tr + br + 2.0 <= down))
        return false;
    return whole_sum(s.top, s.bottom, m);
}

}  // namespace fs::coverage
