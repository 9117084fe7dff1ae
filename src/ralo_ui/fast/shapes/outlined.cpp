// New transparent surface holding the outline of a rounded rectangle: solid edge bands plus
// anti-aliased corner squares from the signed distance to the stroke's centre line.
//
// Arguments the drawing was not made for, and what becomes of them:
//  - `size` with fewer than two items: IndexError from indexing, before any surface exists.
//    A colour with fewer than three items fails the same way when its red, green and blue
//    are read (after the surface was made, like every colour error).
//  - A negative radius, or a width whose ceiling exceeds the surface (+inf included): the
//    bands are clipped to the surface (the corner squares never leave it, being at most
//    half of each side).  Every pixel inside gets exactly what the rule gives it and
//    nothing outside is touched: a stroke wider than the surface
//    turns each band into a slab across the whole surface, and a negative radius lets
//    the bands run on to the surface's edges.
//  - A NaN width: no band (its ceiling counts as 0) and the distance test rejects every
//    corner pixel, so the surface comes back fully transparent, as for a width of -1 or
//    less (-inf included).
//  - A radius of 2^30 or more: 2 x radius is formed in 64 bits, so the clamp to half the
//    surface holds for every radius.
// Integer geometry is done in 64 bits throughout, so none of these can overflow.
#include "convert.hpp"
#include "detach.hpp"
#include "host.hpp"
#include "pixel_view.hpp"
#include "shapes.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace fs {
namespace {

// The two views' data pointers and strides, hoisted for the loops.
struct planes {
    uint8_t* color;
    Py_ssize_t csx, csy, csc;  // colour: per column, per row, per channel
    uint8_t* alpha;
    Py_ssize_t asx, asy;       // alpha: per column, per row
};

// What a stroke pixel receives at full coverage.
struct paint {
    uint8_t rgb[3];
    uint8_t alpha;  // low eight bits of alpha_base
};

// Writes `n` copies of `v` at p, p + step, p + 2 step, ...: one plane of one band row.
void store_run(uint8_t* p, Py_ssize_t step, int64_t n, uint8_t v) noexcept {
    if (step == 1) {
        std::memset(p, v, static_cast<size_t>(n));
    } else if (step == -1) {
        std::memset(p - (n - 1), v, static_cast<size_t>(n));
    } else {
        for (int64_t i = 0; i < n; ++i, p += step) *p = v;
    }
}

// Paints columns [x0, x1) of rows [y0, y1) solid, clipped to the w x h surface.
void band(const planes& pl, int64_t x0, int64_t x1, int64_t y0, int64_t y1, int64_t w,
          int64_t h, const paint& c) noexcept {
    x0 = std::max<int64_t>(x0, 0);
    x1 = std::min(x1, w);
    y0 = std::max<int64_t>(y0, 0);
    y1 = std::min(y1, h);
    if (x0 >= x1 || y0 >= y1) return;
    const int64_t n = x1 - x0;
    for (int64_t y = y0; y < y1; ++y) {
        uint8_t* col = pl.color + x0 * pl.csx + y * pl.csy;
        for (int ch = 0; ch < 3; ++ch) store_run(col + ch * pl.csc, pl.csx, n, c.rgb[ch]);
        store_run(pl.alpha + x0 * pl.asx + y * pl.asy, pl.asx, n, c.alpha);
    }
}

// The stroke's geometry, all single precision as the per-pixel arithmetic is.
struct stroke {
    float center_x, center_y;          // centre of the surface in pixel-centre coordinates
    float centerline_w, centerline_h;  // half-lengths of the centre line's straight parts
    float center_radius;               // corner radius of the centre line, >= 0, never NaN
    float half_width, cutoff;
    float alpha_mult;                  // alpha_base as a float
};

// Evaluates the signed distance over the n x n square whose top-left pixel is (x0, y0),
// writing the pixels it accepts.  Callers keep the square inside the surface.
void corner(const planes& pl, const stroke& s, const paint& c, int64_t x0, int64_t y0,
            int64_t n) noexcept {
    for (int64_t y = y0; y < y0 + n; ++y) {
        // Per row: the vertical offset from the centre line's straight part.
        const float dy = std::fabs(static_cast<float>(y) - s.center_y) - s.centerline_h;
        const float dy_pos = dy > 0.0f ? dy : 0.0f;  // current_dy_dist
        const float dy_sq = dy_pos * dy_pos;
        uint8_t* col_row = pl.color + y * pl.csy;
        uint8_t* alpha_row = pl.alpha + y * pl.asy;
        for (int64_t x = x0; x < x0 + n; ++x) {
            const float dx = std::fabs(static_cast<float>(x) - s.center_x) - s.centerline_w;
            // Length of (max(dx, 0), max(dy, 0)): the root only when both are positive, its
            // radicand rounded once (fused multiply-add).
            float dist;
            if (dx > 0.0f && dy_pos > 0.0f) {
                dist = std::sqrt(std::fma(dx, dx, dy_sq));
            } else {
                dist = dy_pos > dx ? dy_pos : dx;
            }
            // The inside term uses the unclamped dy.
            const float larger = dy > dx ? dy : dx;
            const float inside = larger < 0.0f ? larger : 0.0f;
            const float signed_dist = (inside - s.center_radius) + dist;
            const float dist_from_edge = std::fabs(signed_dist);
            if (dist_from_edge > s.cutoff) continue;
            const float alpha_f = s.half_width - dist_from_edge;
            if (!(alpha_f > -0.5f)) continue;  // NaN lands here too

            uint8_t* px = col_row + x * pl.csx;
            px[0] = c.rgb[0];
            px[pl.csc] = c.rgb[1];
            px[2 * pl.csc] = c.rgb[2];
            uint8_t a;
            if (alpha_f >= 0.5f) {
                a = c.alpha;
            } else {
                // Coverage times alpha in single precision, truncated toward zero (not
                // rounded: alpha_f 0 at alpha 255 stores 127).  Only an alpha_base near
                // 2^31 can push the product out of int32; it saturates there.
                a = static_cast<uint8_t>(trunc_to_int32((alpha_f + 0.5f) * s.alpha_mult));
            }
            alpha_row[x * pl.asx] = a;
        }
    }
}

}  // namespace

PyObject* outlined_surface(PyObject* size, int32_t radius, float width, PyObject* color) noexcept {
    // None fails its first indexing: "'NoneType' object is not subscriptable".
    int32_t w = 0, h = 0;
    if (!size_item(size, 0, w) || !size_item(size, 1, h)) return nullptr;

    // Clamp the radius to half of each side in turn; no lower bound.  2 x radius is formed
    // in 64 bits so that it cannot overflow, which keeps the clamp working for radii of
    // 2^30 and above.  The result is radius itself or a half side, so it fits int32.
    int64_t r = radius;
    if (w < 2 * r) r = w / 2;
    if (h < 2 * r) r = h / 2;

    ref surf = new_surface(w, h);
    if (!surf || !fill(surf.get(), k.transparent)) return nullptr;
    surface_views views;
    if (!views.acquire(surf.get()) || !views.fits(w, h)) return nullptr;

    int32_t alpha_base = 255;
    if (!colour_alpha(color, alpha_base)) return nullptr;
    if (alpha_base == 0) return surf.release();  // fully transparent: rgb is never read
    paint c{};
    if (!colour_rgb(color, c.rgb)) return nullptr;
    c.alpha = static_cast<uint8_t>(alpha_base);  // low eight bits, modulo 2^8

    stroke s{};
    s.half_width = 0.5f * width;
    // radius - half_width in double, rounded once; not greater than 0 (NaN too) gives 0.
    const double cr = static_cast<double>(r) - static_cast<double>(s.half_width);
    s.center_radius = cr > 0.0 ? narrow(cr) : 0.0f;
    // The integer w - 1 halved in double, rounded once (64 bits: no overflow at any w).
    s.center_x = narrow(static_cast<double>(int64_t{w} - 1) * 0.5);
    s.center_y = narrow(static_cast<double>(int64_t{h} - 1) * 0.5);
    // w - width is a float difference; the rest is double, rounded once at the end.
    const double two_cr = 2.0 * static_cast<double>(s.center_radius);
    const double w_less = static_cast<float>(w) - width;
    const double h_less = static_cast<float>(h) - width;
    s.centerline_w = narrow(((w_less - 1.0) - two_cr) * 0.5);
    s.centerline_h = narrow(((h_less - 1.0) - two_cr) * 0.5);
    // Band thickness: ceil(width), saturated at the int32 limits; NaN gives 0 (no band).
    const int64_t sw = trunc_to_int32(std::ceil(width));
    s.cutoff = s.half_width + 0.5f;
    s.alpha_mult = static_cast<float>(alpha_base);  // rounds to nearest beyond 2^24

    const planes pl{views.color.data, views.color.strides[0], views.color.strides[1],
                    views.color.strides[2], views.alpha.data, views.alpha.strides[0],
                    views.alpha.strides[1]};
    const int64_t W = w, H = h;
    {
        detached nogil;
        band(pl, r, W - r, 0, sw, W, H, c);          // top
        band(pl, r, W - r, H - sw, H, W, H, c);      // bottom
        band(pl, 0, sw, r, H - r, W, H, c);          // left
        band(pl, W - sw, W, r, H - r, W, H, c);      // right
    }
    // Formed attached, between the two detached stretches.  At most half of each side, so
    // the four squares stay inside the surface and apart.
    const int64_t box = std::min({r + sw, W / 2, H / 2});
    if (box > 0) {
        detached nogil;
        corner(pl, s, c, 0, 0, box);              // top-left
        corner(pl, s, c, W - box, 0, box);        // top-right
        corner(pl, s, c, 0, H - box, box);        // bottom-left
        corner(pl, s, c, W - box, H - box, box);  // bottom-right
    }
    return surf.release();
}

}  // namespace fs
