// The in-place outline by runs: the exact rule only where neighbouring pixels can differ.
//
// Why runs give the same bytes as the full loop
// ---------------------------------------------
// A row's pixels split into a left side, px <= 0 (current_r = r_left), and a
// right side, px > 0 (current_r = r_right).  We walk each side from the
// surface's edge inwards, pixel index j = 0, 1, ...: x = j on the left,
// x = w - 1 - j on the right.  All facts below are about the float values the
// rule computes, not about real numbers.  They need (runs_apply):
//   (P1) 1 <= w, h <= 2^23, so x, y, center_x, center_y and px = x - center_x
//        are exact (multiples of 1/2 below 2^23): the left side is
//        x < (w + 1) / 2, the top half y < (h + 1) / 2;
//   (P2) half_width, the adjusted radii, box_half_w and box_half_h are finite
//        and at most 2^60 in magnitude: then |qx|, |qy| < 2^62, the squares
//        stay below 2^124 and no value met below is infinite or NaN.
//
// (M) Along one side of one row, qx does not increase with j.  Rounding to
//     nearest is monotone, so fl(a - c) and fl(a + c) are monotone in a:
//     |px| falls as j grows, hence qx = fl(fl(|px| - box_half_w) + current_r)
//     does not grow.  For fixed qy and current_r every later step is monotone
//     in qx: max(qx, 0), its square (of a non-negative value), the sum with
//     max(qy, 0)^2, the square root, min(max(qx, qy), 0), then
//     S = fl(dist_outside + dist_inside) and signed_dist = fl(S - current_r).
//     So S and signed_dist do not increase with j.
//
// (T) With current_r fixed, the outcome depends on the pixel only through
//     signed_dist, S (in the background's coverage) and, without a background,
//     the old pixel.  Three sets of S matter:
//     - cleared, double(signed_dist) > edge_limit: closed upwards in S;
//     - deep without a background, not cleared and double(signed_dist) <
//       -edge_limit: closed downwards; the pixel is kept;
//     - deep with a background, not cleared, signed_dist <= 0,
//       fl(coverage_base - |signed_dist|) <= 0 and
//       fl(fl(current_r + half_width) - S) >= 1: each condition is closed
//       downwards (with signed_dist <= 0, |signed_dist| = -signed_dist).
//       There the stroke's coverage clamps to +0 and the background's to 1,
//       so sa = 0 x stroke_alpha_mult and ba_eff = bg_alpha_mult for every
//       such pixel, and everything after them is the same: equal bytes.
//     By (M), along a side the cleared pixels are a prefix and the deep ones a
//     suffix: once one pixel is deep, so is the rest of the side, with the
//     same outcome.
//
// (R) Row-determined pixels, qx <= 0 and qx <= qy: max(qx, 0)^2 = +0 (a
//     signed zero squares to +0) and max(qx, qy) compares to qy (max_of keeps
//     qx only when qy is not greater, and then they are equal numbers; the
//     min with 0 turns either zero into +0).  So the distance depends on qy
//     and current_r alone: equal for every such pixel of the side.  By (M)
//     they are a suffix of the side: one evaluation paints the rest.
// (C) Column-determined pixels, qy <= 0 and qy <= qx: symmetrically the
//     distance depends on qx and current_r alone, whatever the row.  They are
//     a prefix of the side (by (M), qx >= qy fails from some j on), and each
//     is what the same column gives with qy = -infinity, computed once per
//     corner (the column profile, kept as runs of equal outcomes).  Also qx
//     does not depend on the row.
//
// What remains for the exact rule: the corner squares' pixels (qx > 0 and
// qy > 0) between the cleared prefix and the deep suffix, i.e. the stroke's
// band across the corners, and columns beyond the profile's length.  The
// cleared prefix of a corner row is found by walking from the previous row's
// boundary, which moves one way only through a half (qy changes
// monotonically with y there), so the walk costs O(radius) per corner.
//
// Rows are written in ascending order, each once: one forward stream through
// the surface, which is what the memory system serves best once the surface
// is larger than the caches.  One exception: when the top and bottom radii
// match, rows y and h - 1 - y get the same outcomes at the same j (equal
// |py|), so the top half's corner rows are written together with their mirror
// images in the bottom half, which are then not walked again (a second stream,
// as long as a corner).  Rows outside the corners are decided by the column
// profile alone: their stores are worked out once and repeated row by row.
#include "outlined_in_place_runs.hpp"

#include "checks.hpp"

#include <cmath>
#include <initializer_list>
#include <limits>

namespace fs::outlined_in_place {
namespace {

// Most runs of equal outcomes a column profile keeps.  signed_dist changes by
// about 1 per column and only the anti-aliased ramps give differing outcomes,
// so a profile has a handful of runs; the cap only bounds the array (columns
// beyond it would be evaluated in every row).
constexpr int profile_cap = 64;

bool moderate(float v) noexcept { return std::fabs(v) <= 0x1p60f; }  // false for NaN

bool same(const outcome& a, const outcome& b) noexcept {
    return a.kind == b.kind && a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a && a.sa == b.sa;
}

// Deep as in (T): the rest of the side from here on has this pixel's outcome.
// The single-precision expressions are the rule's own coverage arguments,
// formed in the same order, so they round as they do there.
bool deep(const params& p, bool with_background, const distance& d) noexcept {
    const double sd = static_cast<double>(d.signed_dist);
    if (sd > p.edge_limit) return false;
    if (!with_background) return sd < -p.edge_limit;
    return d.signed_dist <= 0.0f && p.coverage_base - std::fabs(d.signed_dist) <= 0.0f &&
           (d.current_r + p.half_width) - (d.outside + d.inside) >= 1.0f;
}

// The first j of lo <= j < hi at which `past(j)` holds, or hi when none does;
// `past` must be false and then true along j (one change at most).
template <class Past>
int32_t first_where(int32_t lo, int32_t hi, Past past) noexcept {
    while (lo < hi) {
        const int32_t mid = lo + (hi - lo) / 2;
        if (past(mid))
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

// One side (left or right) of one half, walked from the surface's edge
// inwards: pixel j is x = j on the left, x = w - 1 - j on the right.  Sides
// whose radii are equal see the same distances at the same j (their |px| are
// equal by (P1)), so one walk of the left side serves the right side too.
struct side {
    const params* p;
    bool with_background;
    int32_t w;
    bool left_walked;        // the walk's distances are the left side's (else the right's)
    bool to_left, to_right;  // the sides it writes
    int32_t n;               // pixels walked: the walked side's
    float radius;            // current_r of every pixel of the side
    row column_row;          // qy_base = -infinity: every pixel column-determined

    void init(const params& prm, bool bg, int32_t width, bool write_left, bool write_right, float r_left,
              float r_right) noexcept {
        p = &prm;
        with_background = bg;
        w = width;
        left_walked = write_left;
        to_left = write_left;
        to_right = write_right;
        n = left_walked ? (w + 1) / 2 : w / 2;
        radius = left_walked ? r_left : r_right;
        column_row = {-std::numeric_limits<float>::infinity(), r_left, r_right};
    }

    // The pixel at j on the walked side of a row with values rw (the left
    // side, with the centre column of an odd width, whenever it is written).
    distance at(const row& rw, int32_t j) const noexcept { return distance_at(*p, rw, left_walked ? j : w - 1 - j); }
    distance column(int32_t j) const noexcept { return at(column_row, j); }

    outcome decide(const distance& d) const noexcept {
        return with_background ? over_background(*p, d) : over_content(*p, d);
    }
};

// Columns begin <= j < end of a column profile (C), all with outcome o; qx
// does not increase with j, so the segment's least qx is the last column's.
struct segment {
    outcome o;
    int32_t end;
    float last_qx;
    blend_memo memo;
};

// The column profile of a side: `segments` runs cover j < length; pixel
// `length` (if < n) has outcome `tail` and qx tail_qx, and is deep when
// tail_deep.  `square` counts the pixels with qx > 0: the corner square's width.
struct column_profile {
    segment runs[profile_cap];
    int segments;
    int32_t length;
    bool tail_deep;
    outcome tail;
    float tail_qx;
    int32_t square;

    void build(const side& sd) noexcept {
        // qx > 0 holds on a prefix of the side (M).
        square = first_where(0, sd.n, [&](int32_t j) noexcept { return !(sd.column(j).qx > 0.0f); });
        segments = 0;
        length = sd.n;
        tail_deep = false;
        for (int32_t j = 0; j < sd.n; ++j) {
            const distance d = sd.column(j);
            const outcome o = sd.decide(d);
            const bool is_deep = deep(*sd.p, sd.with_background, d);
            const bool extends = segments > 0 && same(runs[segments - 1].o, o);
            if (is_deep || (!extends && segments == profile_cap)) {
                length = j;
                tail = o;
                tail_qx = d.qx;
                tail_deep = is_deep;
                return;
            }
            if (!extends) runs[segments++] = {o, j, d.qx, {}};
            runs[segments - 1].end = j + 1;
            runs[segments - 1].last_qx = d.qx;
        }
    }
};

// The stores of a row the column profile decides whole: every column-determined
// segment at full length, then the deep tail (or no tail).  Such rows are equal
// in every pixel written, so their stores are worked out once per half and
// repeated, each a run of pixels x0 <= x < x1 of the row; keep runs store nothing
// and are left out.
struct profile_row {
    struct store {
        outcome o;
        int32_t x0, x1;
        blend_memo* memo;
        bool words;     // a short painted run: `word` stored at each pixel
        uint32_t word;  // the painted word
    };
    // Two stores per segment and one for the tail at most.
    store stores[2 * profile_cap + 2];
    int count;
    float limit;  // rows with qy <= limit are such rows; -infinity when there are none
    bool whole;   // the stores paint every pixel of the row: such a row is a copy of the one before
    blend_memo tail_memo;

    void add(const packed_surface& s, const outcome& o, int32_t x0, int32_t x1, blend_memo* memo) noexcept {
        if (o.kind == outcome::keep || x0 >= x1) return;
        const bool words = o.kind == outcome::paint && x1 - x0 <= packed_surface::short_run;
        stores[count++] = {o, x0, x1, memo, words, words ? s.word_of(o) : 0};
    }

    // Every store in row y.
    void draw(const packed_surface& s, const params& p, int32_t y) const noexcept {
        for (int i = 0; i < count; ++i) {
            const store& st = stores[i];
            if (!st.words) {
                s.run(p, st.o, st.x0, st.x1, y, *st.memo);
                continue;
            }
            for (int32_t x = st.x0; x < st.x1; ++x) s.put_word(st.word, x, y);
        }
    }

    // The stores of span(o, j0, j1) on the sides the walk writes (walker::span).
    void add_span(const packed_surface& s, const side& sd, const outcome& o, int32_t j0, int32_t j1,
                  blend_memo* memo) noexcept {
        const int32_t w = sd.w;
        if (sd.to_left && sd.to_right && j1 >= sd.n) {
            add(s, o, j0, w - j0, memo);
            return;
        }
        if (sd.to_left) add(s, o, j0, j1 < (w + 1) / 2 ? j1 : (w + 1) / 2, memo);
        if (sd.to_right) add(s, o, w - (j1 < w / 2 ? j1 : w / 2), w - j0, memo);
    }

    // The limit follows profile_prefix: a segment is taken whole where its least
    // qx, last_qx, is at least qy; then the row ends at the profile's length, or
    // the deep tail is taken where tail_qx is at least qy.
    void build(const packed_surface& s, const side& sd, column_profile& profile) noexcept {
        count = 0;
        whole = false;
        limit = std::numeric_limits<float>::infinity();
        const bool ends = profile.length == sd.n;
        if (!ends && !profile.tail_deep) {
            limit = -std::numeric_limits<float>::infinity();  // the exact walk always goes on
            return;
        }
        int32_t j = 0;
        for (int k = 0; k < profile.segments; ++k) {
            segment& sg = profile.runs[k];
            add_span(s, sd, sg.o, j, sg.end, &sg.memo);
            if (sg.last_qx < limit) limit = sg.last_qx;
            j = sg.end;
        }
        if (!ends) {
            add_span(s, sd, profile.tail, profile.length, sd.n, &tail_memo);
            if (profile.tail_qx < limit) limit = profile.tail_qx;
        }
        // The stores are apart: painted ones adding up to the width cover the row.
        int64_t painted = 0;
        for (int i = 0; i < count; ++i) painted += stores[i].o.kind == outcome::paint ? stores[i].x1 - stores[i].x0 : 0;
        whole = painted == sd.w;
    }
};

// No row of any surface: not the one above row 0 either.
constexpr int32_t no_row = std::numeric_limits<int32_t>::min();

// Draws the rows of one half on its side(s), one row at a time, each row
// after the one above it.
struct walker {
    const packed_surface* s;
    side sd;
    column_profile profile;
    profile_row repeated;  // the stores of every row the profile decides whole
    int32_t y;             // the row being drawn
    int32_t mirror_y;      // its mirror image, drawn with it, or -1
    int32_t clear_hint;    // last corner row's cleared prefix
    int32_t h;             // the surface's height
    bool mirroring;        // corner rows are drawn with their mirror images, while they last
    int32_t mirrored;      // rows 0 <= y < mirrored were drawn with their mirror images
    int32_t repeated_y;    // the last row drawn from `repeated`; none yet: no_row

    void init(const params& prm, const packed_surface& surface, bool bg, int32_t width, int32_t height, bool write_left,
              bool write_right, float r_left, float r_right, bool mirror) noexcept {
        s = &surface;
        h = height;
        mirroring = mirror;
        mirrored = 0;
        mirror_y = -1;
        repeated_y = no_row;
        sd.init(prm, bg, width, write_left, write_right, r_left, r_right);
        profile.build(sd);
        repeated.build(surface, sd, profile);
        clear_hint = 0;
    }

    // Pixel j of the sides written, in row y and its mirror image.
    void put(const outcome& o, int32_t j) noexcept {
        if (o.kind == outcome::keep) return;
        const bool right = sd.to_right && j < sd.w / 2;
        const int32_t xr = sd.w - 1 - j;
        if (o.kind == outcome::paint) {
            const uint32_t word = s->word_of(o);
            for (const int32_t row : {y, mirror_y}) {
                if (row < 0) break;
                if (sd.to_left) s->put_word(word, j, row);
                if (right) s->put_word(word, xr, row);
            }
            return;
        }
        if (o.kind == outcome::clear) {
            for (const int32_t row : {y, mirror_y}) {
                if (row < 0) break;
                if (sd.to_left) s->put(*sd.p, o, j, row);
                if (right) s->put(*sd.p, o, xr, row);
            }
            return;
        }
        blend_memo memo;  // the pixels' old words are often equal
        for (const int32_t row : {y, mirror_y}) {
            if (row < 0) break;
            if (sd.to_left) s->blend(*sd.p, o, j, row, memo);
            if (right) s->blend(*sd.p, o, xr, row, memo);
        }
    }

    // Pixels j0 <= j < j1 of the sides written take outcome o (j1 capped at
    // each side).  A span reaching the middle on both sides is one run.
    void span(const outcome& o, int32_t j0, int32_t j1, blend_memo& memo) noexcept {
        if (o.kind == outcome::keep) return;
        span_in(o, j0, j1, y, memo);
        if (mirror_y >= 0) span_in(o, j0, j1, mirror_y, memo);
    }
    void span_in(const outcome& o, int32_t j0, int32_t j1, int32_t row, blend_memo& memo) noexcept {
        const int32_t w = sd.w;
        if (sd.to_left && sd.to_right && j1 >= sd.n) {
            s->run(*sd.p, o, j0, w - j0, row, memo);
            return;
        }
        if (sd.to_left) s->run(*sd.p, o, j0, j1 < (w + 1) / 2 ? j1 : (w + 1) / 2, row, memo);
        if (sd.to_right) s->run(*sd.p, o, w - (j1 < w / 2 ? j1 : w / 2), w - j0, row, memo);
    }
    void span(const outcome& o, int32_t j0, int32_t j1) noexcept {
        blend_memo memo;
        span(o, j0, j1, memo);
    }

    // Number of cleared pixels among the corner square's, walking from the hint.
    int32_t cleared_prefix(const row& rw) noexcept {
        const auto cleared = [&](int32_t j) noexcept {
            return static_cast<double>(sd.at(rw, j).signed_dist) > sd.p->edge_limit;
        };
        const int32_t square = profile.square;
        int32_t k = clear_hint < square ? clear_hint : square;
        if (k < square && cleared(k)) {
            do ++k;
            while (k < square && cleared(k));
        } else {
            while (k > 0 && !cleared(k - 1)) --k;
        }
        clear_hint = k;
        return k;
    }

    // The column-determined prefix of a row with qy <= 0, from the profile;
    // returns where the exact walk goes on, or n when the row is done.
    int32_t profile_prefix(float qy) noexcept {
        int32_t j = 0;
        for (int k = 0; k < profile.segments; ++k) {
            segment& sg = profile.runs[k];
            if (sg.last_qx >= qy) {
                span(sg.o, j, sg.end, sg.memo);
                j = sg.end;
                continue;
            }
            // The segment's first column with qx < qy (there is one: the last).
            const int32_t cut = first_where(j, sg.end - 1, [&](int32_t m) noexcept { return sd.column(m).qx < qy; });
            span(sg.o, j, cut, sg.memo);
            return cut;
        }
        if (profile.length < sd.n && profile.tail_deep && profile.tail_qx >= qy) {
            span(profile.tail, profile.length, sd.n);  // (T): pixel `length` is deep, so is the rest
            return sd.n;
        }
        return profile.length;
    }

    // Row `row_y`, with values rw.  While mirroring, the first rows that are corner
    // rows (qy > 0) are drawn with their mirror images h - 1 - row_y; the first other
    // row ends the mirroring for good, so the rows drawn twice are a prefix.
    void draw(int32_t row_y, const row& rw) noexcept {
        y = row_y;
        const float qy = rw.qy_base + sd.radius;  // as distance_at forms it
        mirroring = mirroring && qy > 0.0f && h - 1 - row_y > row_y;
        mirror_y = mirroring ? h - 1 - row_y : -1;
        if (mirroring) mirrored = row_y + 1;
        walk(rw, qy);
        mirror_y = -1;
    }

    void walk(const row& rw, float qy) noexcept {
        int32_t j;
        if (qy <= 0.0f && qy <= repeated.limit) {
            // (C) and (T), as profile_prefix draws them.  A whole row of words drawn
            // just above, by the same stores, holds exactly this row's bytes; streamed
            // surfaces keep their stores past the caches instead.
            if (repeated.whole && repeated_y == y - 1 && !s->streamed())
                s->copy_row(y - 1, y, sd.w);
            else
                repeated.draw(*s, *sd.p, y);
            repeated_y = y;
            return;
        }
        if (qy <= 0.0f) {
            j = profile_prefix(qy);  // (C)
        } else {
            j = cleared_prefix(rw);
            span(of_kind(outcome::clear), 0, j);
        }
        for (; j < sd.n; ++j) {
            const distance d = sd.at(rw, j);
            const outcome o = sd.decide(d);
            if ((d.qx <= 0.0f && d.qx <= d.qy) || deep(*sd.p, sd.with_background, d)) {
                span(o, j, sd.n);  // (R) or (T)
                return;
            }
            put(o, j);
        }
    }
};

// The walkers of a half: one for both sides when their radii match, else one
// per side.  With `mirrored`, the rows also serve the other half (equal radii
// there too): the walkers draw the corner rows' mirror images with them.
struct half_walkers {
    walker left, right;
    bool both;

    void init(const params& p, bool with_background, const packed_surface& surface, int32_t w, int32_t h, bool top,
              bool mirrored) noexcept {
        const float r_left = top ? p.r_tl : p.r_bl, r_right = top ? p.r_tr : p.r_br;
        both = r_left == r_right;
        left.init(p, surface, with_background, w, h, true, both, r_left, r_right, mirrored);
        if (!both) right.init(p, surface, with_background, w, h, false, true, r_left, r_right, mirrored);
    }

    void draw(int32_t y, const row& rw) noexcept {
        left.draw(y, rw);
        if (!both) right.draw(y, rw);
    }

    // Row y of the other half, whose mirror image is row m: each walker draws its
    // side(s) unless it drew them with row m.
    void draw_mirror(const params& p, int32_t y, int32_t m) noexcept {
        const bool left_done = m < left.mirrored, right_done = both || m < right.mirrored;
        if (left_done && right_done) return;
        const row rw = row_at(p, y);
        if (!left_done) left.draw(y, rw);
        if (!right_done) right.draw(y, rw);
    }

    void stop_mirroring() noexcept {
        left.mirroring = false;
        right.mirroring = false;
    }
};

}  // namespace

bool runs_apply(const params& p, int32_t w, int32_t h) noexcept {
    constexpr int32_t side_limit = int32_t{1} << 23;
    return w >= 1 && h >= 1 && w <= side_limit && h <= side_limit && moderate(p.half_width) && moderate(p.box_half_w) &&
           moderate(p.box_half_h) && moderate(p.r_tl) && moderate(p.r_tr) && moderate(p.r_br) && moderate(p.r_bl);
}

void draw_runs(const params& p, bool with_background, const packed_surface& surface, int32_t w, int32_t h) noexcept {
    FS_CHECK(runs_apply(p, w, h));         // (P1) and (P2)
    const int32_t top_rows = (h + 1) / 2;  // (P1): py <= 0 exactly there
    const bool rows_mirror = p.r_tl == p.r_bl && p.r_tr == p.r_br;
    half_walkers half;  // large: one at a time
    half.init(p, with_background, surface, w, h, true, rows_mirror);
    for (int32_t y = 0; y < top_rows; ++y) half.draw(y, row_at(p, y));
    half.stop_mirroring();
    if (rows_mirror) {
        // The top half's walkers serve the bottom half as they are (equal radii).
        for (int32_t y = top_rows; y < h; ++y) half.draw_mirror(p, y, h - 1 - y);
    } else {
        half.init(p, with_background, surface, w, h, false, false);
        for (int32_t y = top_rows; y < h; ++y) half.draw(y, row_at(p, y));
    }
    surface.finish();
}

}  // namespace fs::outlined_in_place
