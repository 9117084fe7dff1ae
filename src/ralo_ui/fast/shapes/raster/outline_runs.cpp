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
#include "outline_runs.hpp"

#include "checks.hpp"

#include <cmath>
#include <initializer_list>
#include <limits>

namespace fs::outline {
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

// Where one walk writes: a side (left or right) of a row.
struct target {
    bool left;
    int32_t y;
    int32_t n;  // pixels of the row on this side
};

// Columns begin <= j < end of a column profile (C), all with outcome o; qx
// does not increase with j, so the segment's least qx is the last column's.
struct segment {
    outcome o;
    int32_t end;
    float last_qx;
    blend_memo memo;
};

// Walks the pixels of one side of a half from the edge inwards, writing what
// it finds to up to four targets.  Sides whose radii are equal see the same
// distances at the same j (their |px| are equal by (P1)), and so do rows y
// and h - 1 - y (equal |py|) when the top and bottom radii match: one walk
// then serves the mirrored sides and rows as well.
struct walker {
    const params* p;
    const packed_surface* s;
    bool with_background;
    int32_t w;
    bool left_walked;        // the walk's distances are the left side's (else the right's)
    bool to_left, to_right;  // the sides it writes
    int32_t n;               // pixels walked: the walked side's
    float radius;            // current_r of every target
    row column_row;          // qy_base = -infinity: every pixel column-determined
    int32_t square;          // pixels with qx > 0: the corner square's width
    int32_t clear_hint;      // last corner row's cleared prefix

    target targets[4];
    int count;

    // The column profile: `segments` runs cover j < length; pixel `length`
    // (if < n) has outcome `tail` and qx tail_qx, and is deep when tail_deep.
    segment profile[profile_cap];
    int segments;
    int32_t length;
    bool tail_deep;
    outcome tail;
    float tail_qx;

    // The pixel at j on the walked side of a row with values rw (the left
    // side, with the centre column of an odd width, whenever it is written).
    distance at(const row& rw, int32_t j) const noexcept { return distance_at(*p, rw, left_walked ? j : w - 1 - j); }

    outcome decide(const distance& d) const noexcept {
        return with_background ? over_background(*p, d) : over_content(*p, d);
    }

    // Sets up a walk writing to the left side, the right side or both, for
    // the radii of a half.
    void init(const params& prm, const packed_surface& surface, bool bg, int32_t width, bool write_left,
              bool write_right, float r_left, float r_right) noexcept {
        p = &prm;
        s = &surface;
        with_background = bg;
        w = width;
        left_walked = write_left;
        to_left = write_left;
        to_right = write_right;
        n = left_walked ? (w + 1) / 2 : w / 2;
        radius = left_walked ? r_left : r_right;
        column_row = {-std::numeric_limits<float>::infinity(), r_left, r_right};
        clear_hint = 0;
        // qx > 0 holds on a prefix of the side (M): its length by bisection.
        int32_t lo = 0, hi = n;
        while (lo < hi) {
            const int32_t mid = lo + (hi - lo) / 2;
            if (at(column_row, mid).qx > 0.0f)
                lo = mid + 1;
            else
                hi = mid;
        }
        square = lo;
        segments = 0;
        length = n;
        tail_deep = false;
        for (int32_t j = 0; j < n; ++j) {
            const distance d = at(column_row, j);
            const outcome o = decide(d);
            const bool is_deep = deep(prm, bg, d);
            const bool extends = segments > 0 && same(profile[segments - 1].o, o);
            if (is_deep || (!extends && segments == profile_cap)) {
                length = j;
                tail = o;
                tail_qx = d.qx;
                tail_deep = is_deep;
                break;
            }
            if (!extends) profile[segments++] = {o, j, d.qx, {}};
            profile[segments - 1].end = j + 1;
            profile[segments - 1].last_qx = d.qx;
        }
    }

    // The targets of rows y (and its mirror y2 unless negative).
    void aim(int32_t y, int32_t y2) noexcept {
        count = 0;
        for (const int32_t row_y : {y, y2}) {
            if (row_y < 0) continue;
            if (to_left) targets[count++] = {true, row_y, (w + 1) / 2};
            if (to_right) targets[count++] = {false, row_y, w / 2};
        }
    }

    void put(const outcome& o, int32_t j) const noexcept {
        for (int i = 0; i < count; ++i) {
            const target& t = targets[i];
            if (j < t.n) s->put(*p, o, t.left ? j : w - 1 - j, t.y);
        }
    }

    // Pixels j0 <= j < j1 of every target take outcome o (j1 capped at each side).
    void span(const outcome& o, int32_t j0, int32_t j1, blend_memo& memo) const noexcept {
        for (int i = 0; i < count; ++i) {
            const target& t = targets[i];
            const int32_t end = j1 < t.n ? j1 : t.n;
            if (t.left)
                s->run(*p, o, j0, end, t.y, memo);
            else
                s->run(*p, o, w - end, w - j0, t.y, memo);
        }
    }
    void span(const outcome& o, int32_t j0, int32_t j1) const noexcept {
        blend_memo memo;
        span(o, j0, j1, memo);
    }

    // Number of cleared pixels among the corner square's, walking from the hint.
    int32_t cleared_prefix(const row& rw) noexcept {
        const auto cleared = [&](int32_t j) noexcept {
            return static_cast<double>(at(rw, j).signed_dist) > p->edge_limit;
        };
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
        for (int k = 0; k < segments; ++k) {
            segment& sg = profile[k];
            if (sg.last_qx >= qy) {
                span(sg.o, j, sg.end, sg.memo);
                j = sg.end;
                continue;
            }
            // The segment's first column with qx < qy (there is one: the last).
            int32_t lo = j, hi = sg.end - 1;
            while (lo < hi) {
                const int32_t mid = lo + (hi - lo) / 2;
                if (at(column_row, mid).qx < qy)
                    hi = mid;
                else
                    lo = mid + 1;
            }
            span(sg.o, j, lo, sg.memo);
            return lo;
        }
        if (length < n && tail_deep && tail_qx >= qy) {
            span(tail, length, n);  // (T): pixel `length` is deep, so is the rest
            return n;
        }
        return length;
    }

    // The targets' pixels, for a row with values rw.
    void draw(const row& rw) noexcept {
        const float qy = rw.qy_base + radius;  // as distance_at forms it
        int32_t j;
        if (qy <= 0.0f) {
            j = profile_prefix(qy);  // (C)
        } else {
            j = cleared_prefix(rw);
            span(of_kind(outcome::clear), 0, j);
        }
        for (; j < n; ++j) {
            const distance d = at(rw, j);
            const outcome o = decide(d);
            if ((d.qx <= 0.0f && d.qx <= d.qy) || deep(*p, with_background, d)) {
                span(o, j, n);  // (R) or (T)
                return;
            }
            put(o, j);
        }
    }
};

}  // namespace

bool runs_apply(const params& p, int32_t w, int32_t h) noexcept {
    constexpr int32_t side_limit = int32_t{1} << 23;
    return w >= 1 && h >= 1 && w <= side_limit && h <= side_limit && moderate(p.half_width) && moderate(p.box_half_w) &&
           moderate(p.box_half_h) && moderate(p.r_tl) && moderate(p.r_tr) && moderate(p.r_br) && moderate(p.r_bl);
}

void outline_runs(const params& p, bool with_background, const packed_surface& surface, int32_t w, int32_t h) noexcept {
    FS_CHECK(runs_apply(p, w, h));         // (P1) and (P2)
    const int32_t top_rows = (h + 1) / 2;  // (P1): py <= 0 exactly there
    // Mirror images walked once (see walker).
    const bool rows_mirror = p.r_tl == p.r_bl && p.r_tr == p.r_br;
    walker left, right;
    const auto half = [&](bool top) noexcept {
        const float r_left = top ? p.r_tl : p.r_bl, r_right = top ? p.r_tr : p.r_br;
        const bool sides_mirror = r_left == r_right;
        left.init(p, surface, with_background, w, true, sides_mirror, r_left, r_right);
        if (!sides_mirror) right.init(p, surface, with_background, w, false, true, r_left, r_right);
        return sides_mirror;
    };
    const auto draw = [&](bool both, int32_t y, int32_t y2) noexcept {
        const row rw = row_at(p, y);
        left.aim(y, y2);
        left.draw(rw);
        if (!both) {
            right.aim(y, y2);
            right.draw(rw);
        }
    };
    bool both = half(true);
    if (rows_mirror) {
        for (int32_t y = 0; y < top_rows; ++y) draw(both, y, h - 1 - y == y ? -1 : h - 1 - y);
        return;
    }
    for (int32_t y = 0; y < top_rows; ++y) draw(both, y, -1);
    both = half(false);
    for (int32_t y = top_rows; y < h; ++y) draw(both, y, -1);
}

}  // namespace fs::outline
