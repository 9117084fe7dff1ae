// Drawing into a surface: each row split where the outer and inner shapes' flat spans begin
// and end, constant pieces filled or blended at one coverage, the rest pixel by pixel.
#include "into_surface.hpp"

#include "fill_words.hpp"
#include "numeric.hpp"
#include "simd/dispatch.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

namespace fs::into_surface {
namespace {

int32_t clamp_to(double v, int32_t lo, int32_t hi) noexcept {
    return trunc_to_int32(std::clamp(v, static_cast<double>(lo), static_cast<double>(hi)));
}

// Pixel (x, y) of `s`, of `bytes` bytes a pixel.
uint8_t* pixel(const surface& s, int32_t x, int32_t y, int bytes) noexcept {
    return s.pixels + static_cast<std::ptrdiff_t>(y) * s.pitch +
           static_cast<std::ptrdiff_t>(x) * static_cast<std::ptrdiff_t>(bytes);
}

// n pixels from dst on at coverage c (> 0).
void write_constant(uint8_t* dst, std::size_t n, float c, const blend::paint& p, const scratch& tmp,
                    const simd::kernels& k) noexcept {
    if (c == 1.0f && p.opaque) {
        if (p.at.bytes == 4) {
            k.fill_words(dst, n, p.word);
        } else {
            blend::fill_triples(dst, n, p);
        }
        return;
    }
    std::fill(tmp.a, tmp.a + n, c);
    k.blend_row(dst, tmp.a, n, p);
}

// A row's pieces as drawn, to be drawn again on a row alike: a constant coverage, or the
// coverages kept from `at` on.
struct piece_record {
    int32_t x0, x1;
    float c;
    bool constant;
    std::size_t at;
};
struct row_record {
    piece_record pieces[7];
    int count = 0;
};

// The pieces of a row formed so far: their coverages lie one after another in the scratch
// row `kept`, the first `used` of it; each piece's columns, coverages and how they were formed
// (`how`), which its mirror image, later in the row, takes instead of forming them again.
struct formed_piece {
    int32_t x0, x1;
    const float* at;
    int how;
};
struct row_memo {
    std::size_t used = 0;
    formed_piece pieces[7];
    int count = 0;

    // The piece holding columns [x0, x1) formed as `how`, or null.
    const formed_piece* holding(int64_t x0, int64_t x1, int how) const noexcept {
        for (int i = 0; i < count; ++i) {
            if (pieces[i].how == how && pieces[i].x0 <= x0 && x1 <= pieces[i].x1) return &pieces[i];
        }
        return nullptr;
    }
};

// Where a field's row is covered, in surface columns: its reach (no pixel outside it is
// covered) and its flat span (every pixel inside it at `flat.value`).
struct spans {
    coverage::flat_span reach, flat;

    bool reaches(int32_t x0, int32_t x1) const noexcept { return reach.x0 < x1 && x0 < reach.x1; }
    bool flat_over(int32_t x0, int32_t x1) const noexcept { return flat.x0 <= x0 && x1 <= flat.x1; }
};

// One row's drawing: its pixels and the two fields' spans.
struct row_pass {
    const surface& s;
    const layer& l;
    const blend::paint& p;
    const scratch& tmp;
    const simd::kernels& k;
    int32_t y, fy;  // the row in the surface and in the layer's window
    spans outer, inner;
    bool has_inner;         // the inner shape reaches this row
    const int64_t* mirror;  // pixel x covered as pixel *mirror - x (both fields), or null
    row_memo& memo;
    recording* rec;  // every write, when given

    uint8_t* at(int32_t x) const noexcept { return pixel(s, x, y, p.at.bytes); }

    // Pixels [x0, x1) at coverage c.
    void constant(int32_t x0, int32_t x1, float c) const noexcept {
        if (!(c > 0.0f)) return;
        if (rec != nullptr) rec->constant(y - l.window.y0, x0 - l.window.x0, x1 - l.window.x0, c);
        write_constant(at(x0), static_cast<std::size_t>(x1 - x0), c, p, tmp, k);
    }

    // Pixels [x0, x1) at coverages cov.
    void varying(int32_t x0, int32_t x1, const float* cov) const noexcept {
        if (rec != nullptr) rec->varying(y - l.window.y0, x0 - l.window.x0, x1 - l.window.x0, cov);
        k.blend_row(at(x0), cov, static_cast<std::size_t>(x1 - x0), p);
    }

    // The values of one field over [x0, x1), its flat span's columns at the flat value.
    void values(const shadow::field& f, const spans& sp, int32_t x0, int32_t x1, float* out) const noexcept {
        if (sp.flat_over(x0, x1)) {
            std::fill(out, out + (x1 - x0), sp.flat.value);
        } else {
            f.row(fy, x0 - l.window.x0, x1 - l.window.x0, out);
        }
    }

    // The coverage of [x0, x1) when it is one value throughout, else -1.
    float uniform(int32_t x0, int32_t x1) const noexcept {
        const bool hole = has_inner && inner.reaches(x0, x1);
        if (!outer.flat_over(x0, x1) || (hole && !inner.flat_over(x0, x1))) return -1.0f;
        return hole ? outer.flat.value - inner.flat.value : outer.flat.value;
    }

    // How a piece's coverages are formed: the outer field's flat value or its row, less
    // nothing, the inner field's flat value or its row.
    int how(int32_t x0, int32_t x1) const noexcept {
        const bool hole = has_inner && inner.reaches(x0, x1);
        return (outer.flat_over(x0, x1) ? 1 : 0) | (hole ? (inner.flat_over(x0, x1) ? 4 : 2) : 0);
    }

    // The coverages of [x0, x1) into `cov`: copied from the memo's piece when that piece holds
    // every mirror image and was formed the same way (the same steps on the same numbers),
    // else formed.
    void coverages(int32_t x0, int32_t x1, int form, float* cov) const noexcept {
        const formed_piece* q = mirror != nullptr ? memo.holding(*mirror - (x1 - 1), *mirror - x0 + 1, form) : nullptr;
        if (q != nullptr) {
            for (int32_t x = x0; x < x1; ++x) cov[x - x0] = q->at[*mirror - x - q->x0];
            return;
        }
        values(*l.outer, outer, x0, x1, cov);
        if ((form & 6) != 0) {
            values(*l.inner, inner, x0, x1, tmp.b);
            for (int32_t i = 0; i < x1 - x0; ++i) cov[i] = std::max(cov[i] - tmp.b[i], 0.0f);
        }
    }

    // Pixels [x0, x1), one piece: wholly inside or wholly outside each span.  Recorded into
    // `r` when given, its coverages kept.
    void piece(int32_t x0, int32_t x1, row_record* r) const noexcept {
        if (!outer.reaches(x0, x1)) return;
        float c = uniform(x0, x1);
        const auto n = static_cast<std::size_t>(x1 - x0);
        float* const cov = tmp.kept + memo.used;
        if (c < 0.0f) {
            const int form = how(x0, x1);
            coverages(x0, x1, form, cov);
            memo.pieces[memo.count++] = {x0, x1, cov, form};
            memo.used += n;
            // A piece of one coverage throughout (a border's side, a pixel or a few wide) is
            // written as one.
            if (std::all_of(cov + 1, cov + n, [&](float v) { return v == cov[0]; })) c = cov[0];
        }
        if (c >= 0.0f) {
            if (r != nullptr) r->pieces[r->count++] = {x0, x1, c, true, 0};
            constant(x0, x1, c);
            return;
        }
        if (r != nullptr) r->pieces[r->count++] = {x0, x1, 0.0f, false, static_cast<std::size_t>(cov - tmp.kept)};
        varying(x0, x1, cov);
    }

    // The recorded pieces again, on this row.
    void replay(const row_record& r) const noexcept {
        for (int i = 0; i < r.count; ++i) {
            const piece_record& q = r.pieces[i];
            if (q.constant) {
                constant(q.x0, q.x1, q.c);
            } else {
                varying(q.x0, q.x1, tmp.kept + q.at);
            }
        }
    }

    void run(row_record* r) const noexcept {
        // The cut points, in surface columns, within the clip; an insertion sort of at most ten.
        const int32_t lo = std::max(l.clip.x0, outer.reach.x0), hi = std::min(l.clip.x1, outer.reach.x1);
        if (lo >= hi) return;
        const int32_t given[6] = {outer.flat.x0,  outer.flat.x1, inner.reach.x0,
                                  inner.reach.x1, inner.flat.x0, inner.flat.x1};
        int32_t cuts[8] = {lo, hi};
        int count = 2;
        for (int i = 0; i < (has_inner ? 6 : 2); ++i) {
            const int32_t v = std::clamp(given[i], lo, hi);
            int j = count++;
            for (; j > 0 && cuts[j - 1] > v; --j) cuts[j] = cuts[j - 1];
            cuts[j] = v;
        }
        for (int i = 0; i + 1 < count; ++i) {
            if (cuts[i] < cuts[i + 1]) piece(cuts[i], cuts[i + 1], r);
        }
    }
};

// A flat span moved into surface columns is compared with pieces in surface columns.
coverage::flat_span shifted(coverage::flat_span span, int32_t ox) noexcept {
    span.x0 += ox;
    span.x1 += ox;
    return span;
}

}  // namespace

box reach(const edges& e, int32_t margin, const box& clip) noexcept {
    const double m = margin;
    return {clamp_to(std::floor(e.left - m), clip.x0, clip.x1), clamp_to(std::floor(e.top - m), clip.y0, clip.y1),
            clamp_to(std::ceil(e.right + m), clip.x0, clip.x1), clamp_to(std::ceil(e.bottom + m), clip.y0, clip.y1)};
}

shadow::shape shape_in(const edges& e, const box& w, double sigma) noexcept {
    shadow::shape s{};
    s.width = w.x1 - w.x0;
    s.height = w.y1 - w.y0;
    s.inset[0] = e.left - w.x0;
    s.inset[1] = e.top - w.y0;
    s.inset[2] = static_cast<double>(w.x1) - e.right;
    s.inset[3] = static_cast<double>(w.y1) - e.bottom;
    for (int c = 0; c < 4; ++c) s.radii[c] = e.radii[c];
    s.sigma = sigma;
    s.empty = !(e.right > e.left && e.bottom > e.top) || w.empty();
    return s;
}

edges inset(const edges& outer, double width) noexcept {
    edges e{outer.left + width, outer.top + width, outer.right - width, outer.bottom - width, {}};
    for (int c = 0; c < 4; ++c) e.radii[c] = std::max(outer.radii[c] - width, 0.0);
    return e;
}

rows alike_rows(const edges& outer, const edges* inner) noexcept {
    double first = -std::numeric_limits<double>::infinity(), last = std::numeric_limits<double>::infinity();
    const auto within = [&](const edges& e) {
        first = std::max(first, std::ceil(e.top + std::max(e.radii[0], e.radii[1])) + 1.0);
        last = std::min(last, std::floor(e.bottom - std::max(e.radii[2], e.radii[3])) - 1.0);
    };
    within(outer);
    if (inner != nullptr) within(*inner);
    if (!(last > first)) return {0, 0};
    return {clamp_to(first, INT32_MIN, INT32_MAX), clamp_to(last, INT32_MIN, INT32_MAX)};
}

namespace {

// The column sum m (surface columns) such that pixel x of every row is covered as pixel m - x
// by both of the layer's fields, if there is one.
bool mirror_of(const layer& l, int64_t* m) noexcept {
    int32_t outer = 0, inner = 0;
    if (!l.outer->mirrored(&outer)) return false;
    if (l.inner != nullptr && !(l.inner->mirrored(&inner) && inner == outer)) return false;
    *m = static_cast<int64_t>(outer) + 2 * static_cast<int64_t>(l.window.x0);
    return true;
}

// The row sum m (surface rows) such that row y is covered as row m - y by both fields, if
// there is one.
bool flip_of(const layer& l, int64_t* m) noexcept {
    int32_t outer = 0, inner = 0;
    if (!l.outer->flipped(&outer)) return false;
    if (l.inner != nullptr && !(l.inner->flipped(&inner) && inner == outer)) return false;
    *m = static_cast<int64_t>(outer) + 2 * static_cast<int64_t>(l.window.y0);
    return true;
}

// A row's spans in surface columns: the outer field's, and the inner one's where it reaches.
struct row_spans {
    spans outer, inner;
    bool has_inner;

    bool misses() const noexcept { return outer.reach.x0 == outer.reach.x1 || !(outer.reach.value > 0.0f); }
};

bool same(const coverage::flat_span& a, const coverage::flat_span& b) noexcept {
    return a.x0 == b.x0 && a.x1 == b.x1 && a.value == b.value;
}

// Two rows cut into the same pieces, each formed by the same steps.
bool same(const row_spans& a, const row_spans& b) noexcept {
    return same(a.outer.reach, b.outer.reach) && same(a.outer.flat, b.outer.flat) && a.has_inner == b.has_inner &&
           same(a.inner.reach, b.inner.reach) && same(a.inner.flat, b.inner.flat);
}

row_spans spans_of(const layer& l, int32_t y) noexcept {
    const int32_t fy = y - l.window.y0, ox = l.window.x0;
    row_spans r{{shifted(l.outer->reach(fy), ox), shifted(l.outer->flat(fy), ox)}, {}, false};
    if (l.inner != nullptr) {
        r.inner = {shifted(l.inner->reach(fy), ox), shifted(l.inner->flat(fy), ox)};
        r.has_inner = r.inner.reach.x0 < r.inner.reach.x1;
    }
    return r;
}

// The layer's rows in order.  A row near a corner whose mirror image across the shape's
// horizontal centre lies in the clip, cut the same way, draws that row too, from its own
// pieces (the same numbers formed the same way: the same bytes), and that row is passed over.
class row_walk {
public:
    row_walk(const surface& s, const layer& l, const blend::paint& p, const scratch& tmp, const simd::kernels& k,
             recording* rec) noexcept
        : s_(s), l_(l), p_(p), tmp_(tmp), k_(k), rec_(rec) {
        if (!mirror_of(l, &mirror_)) mirror_ptr_ = nullptr;
        flips_ = flip_of(l, &flip_);
    }

    void run() noexcept {
        for (int32_t y = l_.clip.y0; y < l_.clip.y1; ++y) one(y);
    }

private:
    bool alike(int64_t y) const noexcept { return l_.alike.first <= y && y < l_.alike.last; }

    // Row y's partner across the centre, when both are drawn pixel by pixel and differ.
    bool partner(int32_t y, int32_t* other) const noexcept {
        if (!flips_ || alike(y)) return false;
        const int64_t o = flip_ - y;
        if (o == y || o < l_.clip.y0 || o >= l_.clip.y1 || alike(o)) return false;
        *other = static_cast<int32_t>(o);
        return true;
    }

    // Whether the lower row of a pair was drawn with its upper partner `other`.
    bool drawn_before(int32_t other) const noexcept {
        const int64_t i = static_cast<int64_t>(other) - l_.clip.y0;
        return i < 64 && ((paired_ >> i) & 1u) != 0;
    }

    // Whether row y, cut as `here`, draws its lower partner `other` too (the first 64 rows of
    // the clip only: one bit each says so when the partner's turn comes).
    bool pairs_with(int32_t y, int32_t other, const row_spans& here) noexcept {
        const int64_t i = static_cast<int64_t>(y) - l_.clip.y0;
        if (other < y || i >= 64 || !same(here, spans_of(l_, other))) return false;
        paired_ |= uint64_t{1} << i;
        return true;
    }

    void one(int32_t y) noexcept {
        const bool in_alike = alike(y);
        row_memo memo;
        if (in_alike && recorded_) {
            row_pass{s_, l_, p_, tmp_, k_, y, 0, {}, {}, false, nullptr, memo, rec_}.replay(alike_);
            return;
        }
        int32_t other = 0;
        const bool has_partner = partner(y, &other);
        if (has_partner && other < y && drawn_before(other)) return;
        const row_spans here = spans_of(l_, y);
        const bool paired = has_partner && pairs_with(y, other, here);
        if (here.misses()) return;
        row_record pair;
        const row_pass pass{
            s_, l_, p_, tmp_, k_, y, y - l_.window.y0, here.outer, here.inner, here.has_inner, mirror_ptr_, memo, rec_};
        pass.run(in_alike ? &alike_ : paired ? &pair : nullptr);
        recorded_ = in_alike;
        if (paired) row_pass{s_, l_, p_, tmp_, k_, other, 0, {}, {}, false, nullptr, memo, rec_}.replay(pair);
    }

    const surface& s_;
    const layer& l_;
    const blend::paint& p_;
    const scratch& tmp_;
    const simd::kernels& k_;
    recording* rec_;
    int64_t mirror_ = 0, flip_ = 0;
    const int64_t* mirror_ptr_ = &mirror_;
    bool flips_ = false;
    uint64_t paired_ = 0;  // bit i: row clip.y0 + i drew its partner
    row_record alike_;
    bool recorded_ = false;
};

}  // namespace

void draw(const surface& s, const layer& l, const blend::paint& p, const scratch& tmp, const simd::kernels& k,
          recording* rec) noexcept {
    if (l.clip.empty()) return;
    row_walk(s, l, p, tmp, k, rec).run();
}

void recording::clear() noexcept {
    runs_.clear();
    values_.clear();
    whole_ = true;
}

// A run past the room made so far: more room, up to most_runs (so that no run is ever kept
// beyond it), or the recording no longer whole.
bool recording::add(const run& r) noexcept {
    if (!whole_ || runs_.size() >= most_runs) return whole_ = false;
    try {
        runs_.reserve(std::min(most_runs, std::max<std::size_t>(64, 2 * runs_.capacity())));
        runs_.push_back(r);
    } catch (const std::bad_alloc&) {
        return whole_ = false;
    }
    return true;
}

void recording::varying(int32_t y, int32_t x0, int32_t x1, const float* cov) noexcept {
    const auto n = static_cast<std::size_t>(x1 - x0);
    if (!whole_ || values_.size() + n > most_values) {
        whole_ = false;
        return;
    }
    if (!add({y, x0, x1, -1.0f, static_cast<uint32_t>(values_.size())})) return;
    try {
        values_.insert(values_.end(), cov, cov + n);
    } catch (const std::bad_alloc&) {
        whole_ = false;
    }
}

void recording::replay(const surface& s, int32_t ox, int32_t oy, const blend::paint& p, const scratch& tmp,
                       const simd::kernels& k) const noexcept {
    for (const run& r : runs_) {
        uint8_t* const dst = pixel(s, ox + r.x0, oy + r.y, p.at.bytes);
        const auto n = static_cast<std::size_t>(r.x1 - r.x0);
        if (r.c >= 0.0f) {
            write_constant(dst, n, r.c, p, tmp, k);
        } else {
            k.blend_row(dst, values_.data() + r.at, n, p);
        }
    }
}

}  // namespace fs::into_surface
