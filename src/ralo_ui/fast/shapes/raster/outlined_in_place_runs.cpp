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
// match, rows y and h - 1 - y are paired rows: they get the same outcomes at
// the same j (equal |py|), so each corner row of the top half is written
// together with its paired row in the bottom half, which is then not walked
// again (a second stream, as long as a corner).  Profile rows, those the
// column profile decides whole, have their stores worked out once and
// repeated row by row.
#include "checks.hpp"
#include "fill_words.hpp"
#include "outlined_in_place.hpp"
#include "portable.hpp"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <limits>

namespace fs::outlined_in_place {
namespace {

// ---- stores into packed 4-byte pixels --------------------------------------------------

// The last composite a run of blended pixels formed: the same old word under
// the same stroke alpha gives the same new word.
struct blend_memo {
    uint32_t old_word = 0, new_word = 0;
    bool valid = false;
};

// The outcomes' stores on a surface of packed 4-byte pixels.
class packed_surface {
public:
    // Painted runs up to this many pixels are stored word by word, longer ones by fill_words.
    static constexpr int32_t short_run = 4;

    // False (and nothing usable) unless both planes are packed_pixels.  The
    // painted runs of a surface past streaming_threshold() bytes are stored past
    // the caches.
    bool bind(const planes& pl) noexcept {
        if (!px_.bind(pl)) return false;
        // The bytes from the first row's start to the last row's end, whichever
        // way the rows run (a bound surface has at least one row).
        const std::ptrdiff_t rows = px_.word_at(0, pl.height - 1) - px_.word_at(0, 0);
        const std::size_t bytes =
            static_cast<std::size_t>(rows < 0 ? -rows : rows) + std::size_t{4} * static_cast<std::size_t>(pl.width);
        stream_ = bytes >= streaming_threshold();
        return true;
    }

    // Completes the streamed stores: called once the last run is written.
    void finish() const noexcept {
        if (stream_) stream_fence();
    }

    // The word that paints `o`: its four bytes at their offsets.
    uint32_t word_of(const outcome& o) const noexcept { return px_.word_of(o.r, o.g, o.b, o.a); }

    // True when painted runs are stored past the caches (a large surface).
    bool streamed() const noexcept { return stream_; }

    // Row `to`'s first w pixels become row `from`'s (two different rows).
    void copy_row(int32_t from, int32_t to, int32_t w) const noexcept {
        std::memcpy(px_.word_at(0, to), px_.word_at(0, from), std::size_t{4} * static_cast<std::size_t>(w));
    }

    // The word `word` at pixel (x, y).
    void put_word(uint32_t word, int32_t x, int32_t y) const noexcept { std::memcpy(px_.word_at(x, y), &word, 4); }

    // The word `word` at pixels x0 <= x < x1 of row y, one store each: for a few pixels.
    void put_words(uint32_t word, int32_t x0, int32_t x1, int32_t y) const noexcept {
        uint8_t* const row = px_.word_at(0, y);
        for (int32_t x = x0; x < x1; ++x) std::memcpy(row + x * std::ptrdiff_t{4}, &word, 4);
    }

    // Pixel (x, y) cleared: alpha 0, colour kept.
    void clear(int32_t x, int32_t y) const noexcept { px_.word_at(x, y)[px_.alpha_offset()] = 0; }

    // The blend of `o` at pixel (x, y); `memo` serves blends under o.sa only.
    void blend(const params& p, const outcome& o, int32_t x, int32_t y, blend_memo& memo) const noexcept {
        uint8_t* const word = px_.word_at(x, y);
        uint32_t old;
        std::memcpy(&old, word, 4);
        if (memo.valid && old == memo.old_word) {
            std::memcpy(word, &memo.new_word, 4);
            return;
        }
        blend_over_content(o.sa, p, {word + px_.red_offset(), px_.channel_stride(), word + px_.alpha_offset()});
        memo.old_word = old;
        std::memcpy(&memo.new_word, word, 4);
        memo.valid = true;
    }

    // Outcome `o`, which is not keep, at every pixel x0 <= x < x1 of row y;
    // `memo` serves blends under o.sa only.
    void run(const params& p, const outcome& o, int32_t x0, int32_t x1, int32_t y, blend_memo& memo) const noexcept;

private:
    packed_pixels px_;
    bool stream_ = false;  // painted runs go through stream_words
};

void packed_surface::run(const params& p, const outcome& o, int32_t x0, int32_t x1, int32_t y,
                         blend_memo& memo) const noexcept {
    FS_CHECK(o.kind != outcome::keep);  // keep runs store nothing: no caller asks for one
    if (x1 <= x0) return;
    uint8_t* const row = px_.word_at(0, y);
    if (o.kind == outcome::clear) {
        for (int32_t x = x0; x < x1; ++x) row[x * std::ptrdiff_t{4} + px_.alpha_offset()] = 0;
        return;
    }
    if (o.kind == outcome::paint) {
        const uint32_t word = word_of(o);
        if (x1 - x0 <= short_run) {  // the stroke's few pixels a row: plain stores beat a call
            put_words(word, x0, x1, y);
            return;
        }
        (stream_ ? stream_words : fill_words)(row + x0 * std::ptrdiff_t{4}, static_cast<std::size_t>(x1 - x0), word);
        return;
    }
    // A blend: the composite depends on the old word alone (sa is the run's).
    for (int32_t x = x0; x < x1; ++x) blend(p, o, x, y, memo);
}

// ---- the walk --------------------------------------------------------------------------

// Most runs of equal outcomes a column profile keeps.  signed_dist changes by
// about 1 per column and only the anti-aliased ramps give differing outcomes,
// so a profile has a handful of runs; the cap only bounds the array (columns
// beyond it would be evaluated in every row).
constexpr int profile_cap = 64;

bool moderate(float v) noexcept { return std::fabs(v) <= 0x1p60f; }  // false for NaN

// (P1) and (P2) for the per-call values and a w x h surface.
bool runs_apply(const params& p, int32_t w, int32_t h) noexcept {
    constexpr int32_t side_limit = int32_t{1} << 23;
    return w >= 1 && h >= 1 && w <= side_limit && h <= side_limit && moderate(p.half_width) && moderate(p.box_half_w) &&
           moderate(p.box_half_h) && moderate(p.r_tl) && moderate(p.r_tr) && moderate(p.r_br) && moderate(p.r_bl);
}

bool same(const outcome& a, const outcome& b) noexcept {
    return a.kind == b.kind && a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a && a.sa == b.sa;
}

// Deep as in (T): the rest of the side from here on has this pixel's outcome.
// The single-precision expressions are the rule's own coverage arguments,
// formed in the same order, so they round as they do there.
template <bool WithBackground>
bool deep(const params& p, const distance& d) noexcept {
    const double signed_dist = static_cast<double>(d.signed_dist);
    if (signed_dist > p.edge_limit) return false;
    if constexpr (!WithBackground)
        return signed_dist < -p.edge_limit;
    else
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

// The call's values and the surface every walker of it draws on.
struct canvas {
    const params& p;
    const packed_surface& surface;
    int32_t w, h;
};

// The sides of a half one walker writes.  Sides whose radii are equal see the
// same distances at the same j (their |px| are equal by (P1)), so one walk of
// the left side serves the right side too: `both`.
enum class sides : uint8_t { left, right, both };

// What one walker draws: the half's radii, the sides it writes, and whether
// its corner rows are drawn with their paired rows.
struct walk_plan {
    canvas call;
    float r_left, r_right;
    sides written;
    bool paired;
};

// The side a walker walks, from the surface's edge inwards: pixel j is x = j
// on the left, x = w - 1 - j on the right.  The left side is walked whenever
// it is written, and its distances serve the right side too.
struct walked_side {
    const params* p;
    int32_t w;
    bool to_left, to_right;  // the sides written
    int32_t n;               // pixels walked: the walked side's
    float radius;            // current_r of every pixel of the side
    row column_row;          // qy_base = -infinity: every pixel column-determined

    void init(const walk_plan& plan) noexcept {
        p = &plan.call.p;
        w = plan.call.w;
        to_left = plan.written != sides::right;
        to_right = plan.written != sides::left;
        n = to_left ? (w + 1) / 2 : w / 2;
        radius = to_left ? plan.r_left : plan.r_right;
        column_row = {-std::numeric_limits<float>::infinity(), plan.r_left, plan.r_right};
    }

    // The pixel at j on the walked side of a row with values rw (the left
    // side, with the centre column of an odd width, whenever it is written).
    distance at(const row& rw, int32_t j) const noexcept { return distance_at(*p, rw, to_left ? j : w - 1 - j); }
    distance column(int32_t j) const noexcept { return at(column_row, j); }

    // put(x) for pixel j of each side written (the right side has no centre column).
    template <class Put>
    void pixels(int32_t j, Put put) const noexcept {
        if (to_left) put(j);
        if (to_right && j < w / 2) put(w - 1 - j);
    }

    // run(x0, x1) for the pixels x0 <= x < x1 that pixels j0 <= j < j1 of the
    // sides written are (j1 capped at each side): one run when they reach the
    // middle on both sides, else one per side (an empty one on the right when
    // j0 is the centre column).
    template <class Run>
    void runs(int32_t j0, int32_t j1, Run run) const noexcept {
        if (to_left && to_right && j1 >= n) {
            run(j0, w - j0);
            return;
        }
        if (to_left) run(j0, j1 < (w + 1) / 2 ? j1 : (w + 1) / 2);
        if (to_right) run(w - (j1 < w / 2 ? j1 : w / 2), w - j0);
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

// The column profile of a side: `count` segments cover j < length; pixel
// `length` (if < n) has outcome `tail`.  Rows with qy <= tail_reach see that
// pixel column-determined and deep (T), so the tail's outcome on the rest of
// the side: tail_reach is its qx, or -infinity when the profile stopped at its
// cap instead.  `square` counts the pixels with qx > 0: the corner square's width.
struct column_profile {
    segment segments[profile_cap];
    int count;
    int32_t length;
    outcome tail;
    float tail_reach;
    int32_t square;

    template <bool WithBackground>
    void build(const walked_side& side) noexcept {
        // qx > 0 holds on a prefix of the side (M).
        square = first_where(0, side.n, [&](int32_t j) noexcept { return !(side.column(j).qx > 0.0f); });
        count = 0;
        length = side.n;
        for (int32_t j = 0; j < side.n; ++j) {
            const distance d = side.column(j);
            const outcome o = decide<WithBackground>(*side.p, d);
            const bool is_deep = deep<WithBackground>(*side.p, d);
            const bool extends = count > 0 && same(segments[count - 1].o, o);
            if (is_deep || (!extends && count == profile_cap)) {
                length = j;
                tail = o;
                tail_reach = is_deep ? d.qx : -std::numeric_limits<float>::infinity();
                return;
            }
            if (!extends) segments[count++] = {o, j, d.qx, {}};
            segments[count - 1].end = j + 1;
            segments[count - 1].last_qx = d.qx;
        }
    }
};

// The stores of a profile row: a row the column profile decides whole, every
// column-determined segment at full length, then the deep tail (or no tail).
// Profile rows are equal in every pixel written, so their stores are worked
// out once per half and repeated, each a run of pixels x0 <= x < x1 of the
// row; keep runs store nothing and are left out.
struct profile_row_stores {
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
    float limit;  // rows with qy <= limit are profile rows; -infinity when there are none
    bool whole;   // the stores paint every pixel of the row: a profile row is a copy of the one before
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
            if (st.words)
                s.put_words(st.word, st.x0, st.x1, y);
            else
                s.run(p, st.o, st.x0, st.x1, y, *st.memo);
        }
    }

    // The stores of pixels j0 <= j < j1 taking outcome o on the sides written (walker::span).
    void add_span(const packed_surface& s, const walked_side& side, const outcome& o, int32_t j0, int32_t j1,
                  blend_memo* memo) noexcept {
        side.runs(j0, j1, [&](int32_t x0, int32_t x1) noexcept { add(s, o, x0, x1, memo); });
    }

    // The limit follows profile_prefix: a segment is taken whole where its least
    // qx, last_qx, is at least qy; then the row ends at the profile's length, or
    // the tail is taken where tail_reach is at least qy (never, for a profile
    // cut at its cap: its stores are then never drawn).
    void build(const packed_surface& s, const walked_side& side, column_profile& profile) noexcept {
        count = 0;
        limit = std::numeric_limits<float>::infinity();
        int32_t j = 0;
        for (int k = 0; k < profile.count; ++k) {
            segment& sg = profile.segments[k];
            add_span(s, side, sg.o, j, sg.end, &sg.memo);
            if (sg.last_qx < limit) limit = sg.last_qx;
            j = sg.end;
        }
        if (profile.length < side.n) {
            add_span(s, side, profile.tail, profile.length, side.n, &tail_memo);
            if (profile.tail_reach < limit) limit = profile.tail_reach;
        }
        // The stores are apart: painted ones adding up to the width cover the row.
        int64_t painted = 0;
        for (int i = 0; i < count; ++i) painted += stores[i].o.kind == outcome::paint ? stores[i].x1 - stores[i].x0 : 0;
        whole = painted == side.w;
    }
};

// No row of any surface: not the one above row 0 either.
constexpr int32_t no_row = std::numeric_limits<int32_t>::min();

// Where a walker stores its outcomes: pixels and spans of the side(s) it
// writes, in the row being drawn and its paired row.  The same code for both
// rules: what it stores depends on the outcome alone.
struct row_stores {
    const packed_surface* s;
    walked_side side;
    int32_t y;         // the row being drawn
    int32_t paired_y;  // its paired row, drawn with it, or -1

    // store(x, row) for pixel j of each side written, in row y, then in its paired row.
    template <class Store>
    void each_pixel(int32_t j, Store store) const noexcept {
        for (const int32_t row : {y, paired_y}) {
            if (row < 0) break;
            side.pixels(j, [&](int32_t x) noexcept { store(x, row); });
        }
    }

    // Pixel j of the sides written takes outcome o, in row y and its paired row.
    // Inlined into each walker, as it would be were it the walker's own.
    FS_ALWAYS_INLINE void put(const outcome& o, int32_t j) const noexcept {
        if (o.kind == outcome::keep) return;
        if (o.kind == outcome::clear) {
            each_pixel(j, [&](int32_t x, int32_t row) noexcept { s->clear(x, row); });
        } else if (o.kind == outcome::paint) {
            const uint32_t word = s->word_of(o);
            each_pixel(j, [&](int32_t x, int32_t row) noexcept { s->put_word(word, x, row); });
        } else {
            blend_memo memo;  // the pixels' old words are often equal
            each_pixel(j, [&](int32_t x, int32_t row) noexcept { s->blend(*side.p, o, x, row, memo); });
        }
    }

    // Pixels j0 <= j < j1 of the sides written take outcome o (j1 capped at
    // each side), in row y and its paired row.
    void span(const outcome& o, int32_t j0, int32_t j1, blend_memo& memo) const noexcept {
        if (o.kind == outcome::keep) return;
        for (const int32_t row : {y, paired_y}) {
            if (row < 0) break;
            side.runs(j0, j1, [&](int32_t x0, int32_t x1) noexcept { s->run(*side.p, o, x0, x1, row, memo); });
        }
    }
    void span(const outcome& o, int32_t j0, int32_t j1) const noexcept {
        blend_memo memo;
        span(o, j0, j1, memo);
    }
};

// Draws the rows of one half on its side(s), one row at a time, each row
// after the one above it.
template <bool WithBackground>
struct walker : row_stores {
    column_profile profile;
    profile_row_stores profile_row;  // the stores of every profile row
    int32_t clear_hint;              // last corner row's cleared prefix
    int32_t h;                       // the surface's height
    bool pairing;                    // corner rows are drawn with their paired rows, while they last
    int32_t paired_rows;             // rows 0 <= y < paired_rows were drawn with their paired rows
    int32_t profile_row_y;           // the last profile row drawn; none yet: no_row

    void init(const walk_plan& plan) noexcept {
        s = &plan.call.surface;
        h = plan.call.h;
        pairing = plan.paired;
        paired_rows = 0;
        paired_y = -1;
        profile_row_y = no_row;
        side.init(plan);
        profile.build<WithBackground>(side);
        profile_row.build(*s, side, profile);
        clear_hint = 0;
    }

    outcome decide(const distance& d) const noexcept { return outlined_in_place::decide<WithBackground>(*side.p, d); }

    // Number of cleared pixels among the corner square's, walking from the hint.
    int32_t cleared_prefix(const row& rw) noexcept {
        const auto cleared = [&](int32_t j) noexcept {
            return static_cast<double>(side.at(rw, j).signed_dist) > side.p->edge_limit;
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

    // The column-determined prefix of a row with qy <= 0 that is no profile row,
    // from the profile; returns where the exact walk goes on.  Such a row stops
    // within a segment or at the profile's length: had every segment and the
    // tail reached qy, qy would be at most profile_row.limit.
    int32_t profile_prefix(float qy) noexcept {
        int32_t j = 0;
        for (int k = 0; k < profile.count; ++k) {
            segment& sg = profile.segments[k];
            if (sg.last_qx >= qy) {
                span(sg.o, j, sg.end, sg.memo);
                j = sg.end;
                continue;
            }
            // The segment's first column with qx < qy (there is one: the last).
            const int32_t cut = first_where(j, sg.end - 1, [&](int32_t m) noexcept { return side.column(m).qx < qy; });
            span(sg.o, j, cut, sg.memo);
            return cut;
        }
        return profile.length;
    }

    // Row `row_y`, with values rw.  While pairing, the first rows that are corner
    // rows (qy > 0) are drawn with their paired rows h - 1 - row_y; the first other
    // row ends the pairing for good, so the rows drawn twice are a prefix.
    void draw(int32_t row_y, const row& rw) noexcept {
        y = row_y;
        const float qy = rw.qy_base + side.radius;  // as distance_at forms it
        pairing = pairing && qy > 0.0f && h - 1 - row_y > row_y;
        paired_y = pairing ? h - 1 - row_y : -1;
        if (pairing) paired_rows = row_y + 1;
        walk(rw, qy);
        paired_y = -1;
    }

    // A profile row: (C) and (T), as profile_prefix draws them.  A whole row of
    // words drawn just above, by the same stores, holds exactly this row's bytes;
    // streamed surfaces keep their stores past the caches instead.
    void draw_profile_row() noexcept {
        if (profile_row.whole && profile_row_y == y - 1 && !s->streamed())
            s->copy_row(y - 1, y, side.w);
        else
            profile_row.draw(*s, *side.p, y);
        profile_row_y = y;
    }

    void walk(const row& rw, float qy) noexcept {
        if (qy <= 0.0f && qy <= profile_row.limit) return draw_profile_row();
        int32_t j;
        if (qy <= 0.0f) {
            j = profile_prefix(qy);  // (C)
        } else {
            j = cleared_prefix(rw);
            span(of_kind(outcome::clear), 0, j);
        }
        for (; j < side.n; ++j) {
            const distance d = side.at(rw, j);
            const outcome o = decide(d);
            if ((d.qx <= 0.0f && d.qx <= d.qy) || deep<WithBackground>(*side.p, d)) {
                span(o, j, side.n);  // (R) or (T)
                return;
            }
            put(o, j);
        }
    }
};

// The walkers of a half: one for both sides when their radii match, else one
// per side.  With `paired`, the rows also serve the other half (equal radii
// there too): the walkers draw the corner rows' paired rows with them.
template <bool WithBackground>
struct half_walkers {
    walker<WithBackground> left, right;
    bool both;

    void init(const canvas& call, float r_left, float r_right, bool paired) noexcept {
        both = r_left == r_right;
        left.init({.call = call,
                   .r_left = r_left,
                   .r_right = r_right,
                   .written = both ? sides::both : sides::left,
                   .paired = paired});
        if (!both)
            right.init({.call = call, .r_left = r_left, .r_right = r_right, .written = sides::right, .paired = paired});
    }

    void draw(int32_t y, const row& rw) noexcept {
        left.draw(y, rw);
        if (!both) right.draw(y, rw);
    }

    // Row y of the other half, whose paired row is m: each walker draws its
    // side(s) unless it drew them with row m.
    void draw_unless_paired(const params& p, int32_t y, int32_t m) noexcept {
        const bool left_done = m < left.paired_rows, right_done = both || m < right.paired_rows;
        if (left_done && right_done) return;
        const row rw = row_at(p, y);
        if (!left_done) left.draw(y, rw);
        if (!right_done) right.draw(y, rw);
    }

    void stop_pairing() noexcept {
        left.pairing = false;
        right.pairing = false;
    }
};

// Every pixel of the w x h surface, byte for byte what the full loop writes.
// Requires runs_apply(p, w, h) and a bound surface.
template <bool WithBackground>
void walk_surface(const params& p, const packed_surface& surface, int32_t w, int32_t h) noexcept {
    FS_CHECK(runs_apply(p, w, h));         // (P1) and (P2)
    const int32_t top_rows = (h + 1) / 2;  // (P1): py <= 0 exactly there
    const bool rows_paired = p.r_tl == p.r_bl && p.r_tr == p.r_br;
    const canvas call{p, surface, w, h};
    half_walkers<WithBackground> half;  // large: one at a time
    half.init(call, p.r_tl, p.r_tr, rows_paired);
    for (int32_t y = 0; y < top_rows; ++y) half.draw(y, row_at(p, y));
    half.stop_pairing();
    if (rows_paired) {
        // The top half's walkers serve the bottom half as they are (equal radii).
        for (int32_t y = top_rows; y < h; ++y) half.draw_unless_paired(p, y, h - 1 - y);
    } else {
        half.init(call, p.r_bl, p.r_br, false);
        for (int32_t y = top_rows; y < h; ++y) half.draw(y, row_at(p, y));
    }
    surface.finish();
}

}  // namespace

bool detail::draw_runs(const params& p, bool with_background, const planes& pl) noexcept {
    packed_surface surface;
    if (!runs_apply(p, pl.width, pl.height) || !surface.bind(pl)) return false;
    if (with_background)
        walk_surface<true>(p, surface, pl.width, pl.height);
    else
        walk_surface<false>(p, surface, pl.width, pl.height);
    return true;
}

}  // namespace fs::outlined_in_place
