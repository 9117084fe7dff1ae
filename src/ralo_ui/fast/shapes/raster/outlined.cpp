// The outline of a rounded rectangle on a transparent surface: solid edge bands plus
// anti-aliased corner squares from the signed distance to the stroke's centre line.
#include "outlined.hpp"

#include "checks.hpp"
#include "fill_words.hpp"
#include "numeric.hpp"
#include "outlined_mirror.hpp"
#include "outlined_rows.hpp"
#include "portable.hpp"
#include "simd/dispatch.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <utility>

namespace fs::outlined {
namespace {

// The first and last byte that `steps` (byte stride, count) reach from `data`; false if
// the sums leave 64 bits.
bool reach(const uint8_t* data, std::initializer_list<std::pair<std::ptrdiff_t, int64_t>> steps, int64_t& lo,
           int64_t& hi) noexcept {
    lo = hi = static_cast<int64_t>(reinterpret_cast<std::intptr_t>(data));
    for (const auto& [stride, count] : steps) {
        int64_t far;
        if (portable::mul_overflows(static_cast<int64_t>(stride), count - 1, &far) ||
            portable::add_overflows(far < 0 ? lo : hi, far, far < 0 ? &lo : &hi))
            return false;
    }
    return true;
}

// True when the w x h surface's colour view addresses no byte twice and the alpha view's
// bytes all lie outside the colour view's.  Then every byte a band writes takes one value,
// and writing the bands plane by plane gives what writing them pixel by pixel, colour then
// alpha, gives.  A sufficient test only: views it cannot prove apart are written in that
// order.  Colour samples are told apart when, with the axes sorted by |stride|, each stride
// exceeds the furthest the smaller axes reach.
bool planes_apart(const planes& pl, int64_t w, int64_t h) noexcept {
    if (w <= 0 || h <= 0) return true;  // no band pixel
    const auto size = [](std::ptrdiff_t stride) {
        const auto u = static_cast<uint64_t>(stride);
        return stride < 0 ? 0 - u : u;
    };
    std::pair<uint64_t, int64_t> axes[3] = {{size(pl.color_x), w}, {size(pl.color_y), h}, {size(pl.channel), 3}};
    std::sort(std::begin(axes), std::end(axes));
    uint64_t covered = 0;
    for (const auto& [step, count] : axes) {
        if (count == 1) continue;  // an axis of one sample adds no address
        uint64_t far;
        if (step <= covered || portable::mul_overflows(step, static_cast<uint64_t>(count - 1), &far) ||
            portable::add_overflows(covered, far, &covered))
            return false;
    }
    int64_t c_lo, c_hi, a_lo, a_hi;
    return reach(pl.color, {{pl.color_x, w}, {pl.color_y, h}, {pl.channel, 3}}, c_lo, c_hi) &&
           reach(pl.alpha, {{pl.alpha_x, w}, {pl.alpha_y, h}}, a_lo, a_hi) && (a_hi < c_lo || c_hi < a_lo);
}

// Writes `n` copies of `v` at p, p + step, p + 2 step, ...: one plane of one band row.
void store_run(uint8_t* p, std::ptrdiff_t step, int64_t n, uint8_t v) noexcept {
    if (step == 1) {
        std::memset(p, v, static_cast<size_t>(n));
    } else if (step == -1) {
        std::memset(p - (n - 1), v, static_cast<size_t>(n));
    } else {
        for (int64_t i = 0; i < n; ++i, p += step) *p = v;
    }
}

// Asks for the cache lines at both ends of rows [y0, y1) of columns [x0, x1), in both
// planes (the same lines for packed pixels).  A freshly filled surface is mostly out of
// the caches; asking for all rows at once overlaps their fetches.  A hint only: nothing is
// read or written; none for a surface small enough to be in the caches still.
void prefetch_rows(const target& t, int64_t x0, int64_t x1, int64_t y0, int64_t y1) noexcept {
    if (cache_resident(t.pl)) return;
    for (int64_t y = y0; y < y1; ++y) {
        for (int64_t x : {x0, x1 - 1}) {
            portable::prefetch(t.pl.color_at(x, y));
            portable::prefetch(t.pl.alpha_at(x, y));
        }
    }
}

// Band rows up to this many packed pixels are stored word by word, longer ones by fill_words.
constexpr int64_t short_band = 4;

// Paints columns [x0, x1) of rows [y0, y1) solid, clipped to the w x h surface: per row,
// one run of identical words for packed pixels, else one run per plane where the planes
// are apart, else pixel by pixel, colour then alpha, so that shared bytes end as drawn.
void band(const target& t, int64_t x0, int64_t x1, int64_t y0, int64_t y1, int64_t w, int64_t h,
          const paint& c) noexcept {
    x0 = std::max<int64_t>(x0, 0);
    x1 = std::min(x1, w);
    y0 = std::max<int64_t>(y0, 0);
    y1 = std::min(y1, h);
    if (x0 >= x1 || y0 >= y1) return;
    FS_CHECK(0 <= x0 && x1 <= w && 0 <= y0 && y1 <= h);
    const int64_t n = x1 - x0;
    prefetch_rows(t, x0, x1, y0, y1);
    if (t.is_packed && n <= short_band) {  // the side bands of a thin stroke: a few words a row
        const uint32_t word = c.word;
        for (int64_t y = y0; y < y1; ++y) {
            uint8_t* const row = t.packed.word_at(x0, y);
            for (int64_t i = 0; i < n; ++i) std::memcpy(row + 4 * i, &word, 4);
        }
        return;
    }
    for (int64_t y = y0; y < y1; ++y) {
        if (t.is_packed) {
            fill_words(t.packed.word_at(x0, y), static_cast<size_t>(n), c.word);
            continue;
        }
        uint8_t* col = t.pl.color_at(x0, y);
        if (!t.apart) {
            uint8_t* a = t.pl.alpha_at(x0, y);
            for (int64_t i = 0; i < n; ++i, col += t.pl.color_x, a += t.pl.alpha_x) {
                pixel{col, t.pl.channel, a}.set_rgb(c.rgb[0], c.rgb[1], c.rgb[2]);
                *a = c.alpha;
            }
            continue;
        }
        for (int ch = 0; ch < 3; ++ch) store_run(col + ch * t.pl.channel, t.pl.color_x, n, c.rgb[ch]);
        store_run(t.pl.alpha_at(x0, y), t.pl.alpha_x, n, c.alpha);
    }
}

// Evaluates the signed distance over the n x n square whose top-left pixel is (x0, y0),
// writing the pixels it accepts.  Callers keep the square inside the surface.
void corner_generic(const target& t, const stroke& s, const paint& c, int64_t x0, int64_t y0, int64_t n) noexcept {
    for (int64_t y = y0; y < y0 + n; ++y) scalar_row(t, s, c, y, x0, x0 + n, frame_row(s, y));
}

// Mirror images of the top-left square's pixel (x, y): (W - 1 - x, y), (x, H - 1 - y) and
// (W - 1 - x, H - 1 - y), in the other three squares.  With both sides at most 2^23, the
// pixel and its images see equal |x - center_x| and |y - center_y| (integers and the
// half-integer centre are exact in single precision, and so is their difference), hence
// the same distances and the same verdicts: where the squares held mirrored bytes before,
// they hold mirrored bytes after, and drawing one square and copying it gives every
// square's bytes.  Packed pixels only, where a pixel is one word of its own.
constexpr int64_t mirror_side_limit = int64_t{1} << 23;
}  // namespace

params derive(int32_t w, int32_t h, int32_t radius, float width, int32_t alpha_base, const uint8_t rgb[3]) noexcept {
    params p{};
    p.w = w;
    p.h = h;
    // Clamp the radius to half of each side in turn; no lower bound.  2 x radius is formed
    // in 64 bits so that it cannot overflow, which keeps the clamp working for radii of
    // 2^30 and above.  The result is radius itself or a half side, so it fits int32.
    int64_t r = radius;
    if (w < 2 * r) r = w / 2;
    if (h < 2 * r) r = h / 2;
    p.radius = r;

    paint& c = p.color;
    c.rgb[0] = rgb[0];
    c.rgb[1] = rgb[1];
    c.rgb[2] = rgb[2];
    c.alpha = static_cast<uint8_t>(alpha_base);  // low eight bits, modulo 2^8

    stroke& s = p.s;
    s.half_width = 0.5f * width;
    // radius - half_width in double, rounded once; not greater than 0 (NaN too) gives 0.
    const double cr = static_cast<double>(r) - static_cast<double>(s.half_width);
    s.center_radius = cr > 0.0 ? narrow(cr) : 0.0f;
    // The integer w - 1 halved in double, rounded once (64 bits: no overflow at any w).
    s.center_x = narrow(static_cast<double>(int64_t{w} - 1) * 0.5);
    s.center_y = narrow(static_cast<double>(int64_t{h} - 1) * 0.5);
    // w - width is a float difference; the rest is double, rounded once at the end.
    const double two_cr = 2.0 * static_cast<double>(s.center_radius);
    const double w_less = static_cast<double>(static_cast<float>(w) - width);
    const double h_less = static_cast<double>(static_cast<float>(h) - width);
    s.centerline_w = narrow(((w_less - 1.0) - two_cr) * 0.5);
    s.centerline_h = narrow(((h_less - 1.0) - two_cr) * 0.5);
    // Band thickness: ceil(width), saturated at the int32 limits; NaN gives 0 (no band).
    p.band = trunc_to_int32(static_cast<double>(std::ceil(width)));
    s.cutoff = s.half_width + 0.5f;
    s.alpha_mult = static_cast<float>(alpha_base);  // rounds to nearest beyond 2^24
    // At most half of each side, so the four squares stay inside the surface and apart.
    p.box = std::min({r + p.band, int64_t{w} / 2, int64_t{h} / 2});
    return p;
}

target bind(const planes& pl, params& p) noexcept {
    target t{pl, {}, false, false};
    t.is_packed = t.packed.bind(pl);
    t.apart = t.is_packed || planes_apart(pl, p.w, p.h);
    if (t.is_packed) {
        paint& c = p.color;
        c.word = t.packed.word_of(c.rgb[0], c.rgb[1], c.rgb[2], c.alpha);
        c.alpha_at = t.packed.alpha_offset();
    }
    return t;
}

void draw_bands(const target& t, const params& p) noexcept {
    const int64_t W = p.w, H = p.h, r = p.radius, sw = p.band;
    const paint& c = p.color;
    band(t, r, W - r, 0, sw, W, H, c);      // top
    band(t, r, W - r, H - sw, H, W, H, c);  // bottom
    band(t, 0, sw, r, H - r, W, H, c);      // left
    band(t, W - sw, W, r, H - r, W, H, c);  // right
}

void draw_corners(const target& t, const params& p, const simd::kernels& k) noexcept {
    const int64_t W = p.w, H = p.h, box = p.box;
    if (box <= 0) return;
    // The four squares stay inside the surface and apart.
    FS_CHECK(2 * box <= W && 2 * box <= H);
    for (int64_t x0 : {int64_t{0}, W - box}) {
        prefetch_rows(t, x0, x0 + box, 0, box);
        prefetch_rows(t, x0, x0 + box, H - box, H);
    }
    const stroke& s = p.s;
    const paint& c = p.color;
    const auto corner = k.outlined_corner;
    if (t.is_packed && W <= mirror_side_limit && H <= mirror_side_limit && k.squares_mirrored(t.packed, W, H, box)) {
        corner(t, s, c, 0, 0, box);  // the other three squares are its mirror images
        k.mirror_top_left(t.packed, W, H, box);
        return;
    }
    corner(t, s, c, 0, 0, box);              // top-left
    corner(t, s, c, W - box, 0, box);        // top-right
    corner(t, s, c, 0, H - box, box);        // bottom-left
    corner(t, s, c, W - box, H - box, box);  // bottom-right
}

void draw_corners(const target& t, const params& p) noexcept { draw_corners(t, p, simd::chosen); }

}  // namespace fs::outlined

namespace fs::simd {

void baseline::outlined_corner(const outlined::target& t, const outlined::stroke& s, const outlined::paint& c,
                               int64_t x0, int64_t y0, int64_t n) noexcept {
    outlined::corner_generic(t, s, c, x0, y0, n);
}

bool baseline::squares_mirrored(const packed_pixels& px, int64_t W, int64_t H, int64_t box) noexcept {
    return outlined::squares_mirrored_by_pairs(px, W, H, box);
}

void baseline::mirror_top_left(const packed_pixels& px, int64_t W, int64_t H, int64_t box) noexcept {
    outlined::mirror_top_left_by_pairs(px, W, H, box);
}

}  // namespace fs::simd
