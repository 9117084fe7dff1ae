// The soft shadow: its margin and parameters, the field of pixel values, and the alpha writer.
#include "shadow.hpp"

#include "checks.hpp"
#include "numeric.hpp"
#include "simd/dispatch.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace fs::shadow {

// Why ceil(1.5 blur + max(spread, 0)) is enough.  The shape's edges lie `margin - spread` >=
// 1.5 blur = 3 sigma inside the surface's sides.  A pixel just outside, say column -1 (centre
// -1/2), has a value of at most the share of its blurred square that reaches past the left
// edge: the pixel kernel is a uniform U on [-1/2, 1/2] plus a Gaussian G, and a point of the
// square at -1/2 + U + G lies past the edge only if U + G >= 3 sigma + 1/2, so only if
// G >= 3 sigma: V <= Phi(-3) = 0.00135, and alpha_base x V <= 0.345 rounds to 0.  Pixels
// further out have less; with blur 0 the square does not reach the shape at all.
int64_t margin(double blur, double spread) noexcept {
    const double m = std::ceil(1.5 * blur + std::max(spread, 0.0));
    constexpr double limit = 0x1p62;  // far beyond any surface; keeps the cast defined
    return m >= limit ? static_cast<int64_t>(limit) : static_cast<int64_t>(m);
}

params derive(int32_t width, int32_t height, corner_radii radii, double blur, double spread, int32_t margin,
              const uint8_t rgba[4]) noexcept {
    params p{};
    shape& s = p.s;
    s.width = static_cast<int32_t>(int64_t{width} + 2 * int64_t{margin});
    s.height = static_cast<int32_t>(int64_t{height} + 2 * int64_t{margin});
    // Every side is inset by the same amount, formed once: the four corners then see the
    // pixel grid alike, and equal radii share one table.
    const double inset = margin - spread;
    for (double& i : s.inset) i = inset;
    const double grown_w = width + 2.0 * spread, grown_h = height + 2.0 * spread;
    s.empty = !(grown_w > 0.0 && grown_h > 0.0);
    const double bound = s.empty ? 0.0 : 0.5 * std::min(grown_w, grown_h);
    const float given[4] = {radii.top_left, radii.top_right, radii.bottom_right, radii.bottom_left};
    for (int c = 0; c < 4; ++c) {
        const double r = std::isnan(given[c]) ? 0.0 : static_cast<double>(given[c]);
        s.radii[c] = std::min(std::max(r + spread, 0.0), bound);  // +-inf: bound or 0
    }
    s.sigma = blur / 2.0;
    for (int c = 0; c < 3; ++c) p.rgb[c] = rgba[c];
    p.alpha = rgba[3];
    return p;
}

// ---- the field ------------------------------------------------------------------------------

namespace {

// The profile along one axis of n pixels, the shape inset `near` from its first side and
// `far` from its last: K(u) + K(u') - 1 with u, u' the pixel centre's distances inside either
// edge.  [flat0, flat1) are the pixels where both K are exactly 1 (both beyond the reach).
void profile(const simd::kernels& k, double sigma, int32_t n, double near, double far, std::vector<float>& out,
             int32_t& flat0, int32_t& flat1) {
    const auto size = static_cast<std::size_t>(n);
    std::vector<double> t(2 * size);
    for (int32_t i = 0; i < n; ++i) {
        t[static_cast<std::size_t>(i)] = (i + 0.5) - near;
        t[size + static_cast<std::size_t>(i)] = ((n - 1 - i) + 0.5) - far;
    }
    std::vector<float> values(2 * size);
    cdf(k, sigma, t.data(), t.size(), values.data());
    out.resize(size);
    const double e = reach(sigma);
    flat0 = n;
    flat1 = n;
    for (std::size_t i = 0; i < size; ++i) {
        out[i] = std::max((values[i] + values[size + i]) - 1.0f, 0.0f);
        const bool inside = t[i] >= e && t[size + i] >= e;
        if (inside && flat0 == n) flat0 = static_cast<int32_t>(i);
        if (!inside && flat0 != n && flat1 == n) flat1 = static_cast<int32_t>(i);
    }
}

}  // namespace

bool field::build(const shape& s, const simd::kernels& k) noexcept {
    s_ = s;
    exact_ = {s.inset[0], s.inset[1], s.width - s.inset[2], s.height - s.inset[3], {}};
    for (int c = 0; c < 4; ++c) exact_.radii[c] = s.radii[c];
    blurred_ = !(s.sigma < exact_below);
    if (s.empty || !blurred_) return true;
    try {
        int32_t flat_y0 = 0, flat_y1 = 0;
        profile(k, s.sigma, s.width, s.inset[0], s.inset[2], across_, flat_x0_, flat_x1_);
        profile(k, s.sigma, s.height, s.inset[1], s.inset[3], down_, flat_y0, flat_y1);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return build_corners(k);
}

namespace {

// Corner c's insets: its vertical edge is the left (0, 3) or right (1, 2) side's, its
// horizontal one the top (0, 1) or bottom (2, 3) side's.
double inset_x(const shape& s, int c) noexcept { return s.inset[c == 0 || c == 3 ? 0 : 2]; }
double inset_y(const shape& s, int c) noexcept { return s.inset[c < 2 ? 1 : 3]; }

}  // namespace

// Equal radii and insets make equal tables, built once.
bool field::build_corners(const simd::kernels& k) noexcept {
    const shape& s = s_;
    int built = 0;
    for (int c = 0; c < 4; ++c) {
        const double r = s.radii[c];
        if (!(r > 0.0)) continue;
        const double ix = inset_x(s, c), iy = inset_y(s, c);
        for (int o = 0; o < c && corner_[c] == nullptr; ++o) {
            if (corner_[o] != nullptr && s.radii[o] == r && inset_x(s, o) == ix && inset_y(s, o) == iy)
                corner_[c] = corner_[o];
        }
        if (corner_[c] != nullptr) continue;
        if (!tables_[built].build(k, r, s.sigma, ix, iy, s.width, s.height)) return false;
        corner_[c] = &tables_[built++];
    }
    return true;
}

coverage::flat_span field::reach(int32_t y) const noexcept {
    if (s_.empty) return {0, 0, 0.0f};
    if (!blurred_) return coverage::reach(exact_, y, s_.width);
    return {0, s_.width, down_[static_cast<std::size_t>(y)]};
}

coverage::flat_span field::flat(int32_t y) const noexcept {
    if (s_.empty) return {0, s_.width, 0.0f};
    if (!blurred_) return coverage::flat(exact_, y, s_.width);
    coverage::flat_span span{flat_x0_, flat_x1_, down_[static_cast<std::size_t>(y)]};
    for (int c = 0; c < 4; ++c) {
        const corner_table* t = corner_[c];
        const int32_t row = c < 2 ? y : s_.height - 1 - y;
        if (t == nullptr || row >= t->rows()) continue;
        if (c == 0 || c == 3) {
            span.x0 = std::max(span.x0, t->cols());
        } else {
            span.x1 = std::min(span.x1, s_.width - t->cols());
        }
    }
    if (span.x1 < span.x0) span.x1 = span.x0;
    return span;
}

bool field::symmetric() const noexcept {
    const shape& s = s_;
    return blurred_ && !s.empty && s.inset[0] == s.inset[2] && s.inset[1] == s.inset[3] && s.radii[0] == s.radii[1] &&
           s.radii[1] == s.radii[2] && s.radii[2] == s.radii[3];
}

bool field::mirrored(int32_t* m) const noexcept { return !blurred_ && !s_.empty && coverage::mirrored(exact_, m); }

bool field::flipped(int32_t* m) const noexcept { return !blurred_ && !s_.empty && coverage::flipped(exact_, m); }

bool field::separable(int32_t y) const noexcept {
    if (s_.empty || !blurred_) return false;
    for (int c = 0; c < 4; ++c) {
        const int32_t row = c < 2 ? y : s_.height - 1 - y;
        if (corner_[c] != nullptr && row < corner_[c]->rows()) return false;
    }
    return true;
}

void field::row(int32_t y, int32_t x0, int32_t x1, float* out) const noexcept {
    FS_CHECK(0 <= y && y < s_.height && 0 <= x0 && x0 <= x1 && x1 <= s_.width);
    if (s_.empty) {
        std::fill(out, out + (x1 - x0), 0.0f);
        return;
    }
    if (!blurred_) {
        coverage::row(exact_, y, x0, x1, out);
        return;
    }
    const float down = down_[static_cast<std::size_t>(y)];
    for (int32_t x = x0; x < x1; ++x) out[x - x0] = across_[static_cast<std::size_t>(x)] * down;
    for (int c = 0; c < 4; ++c) subtract_corner(c, y, x0, x1, out);
    for (int32_t x = x0; x < x1; ++x) out[x - x0] = std::clamp(out[x - x0], 0.0f, 1.0f);
}

void field::subtract_corner(int c, int32_t y, int32_t x0, int32_t x1, float* out) const noexcept {
    constexpr int32_t chunk = 256;
    const corner_table* t = corner_[c];
    const int32_t row = c < 2 ? y : s_.height - 1 - y;
    if (t == nullptr || row >= t->rows()) return;
    const bool left = c == 0 || c == 3;
    // The patch's columns within [x0, x1), counted from the corner's side, a chunk at a time.
    const int32_t first = left ? x0 : std::max(x0, s_.width - t->cols());
    const int32_t last = left ? std::min(x1, t->cols()) : x1;
    float d[chunk];
    for (int32_t x = first; x < last; x += chunk) {
        const int32_t n = std::min(chunk, last - x);
        if (left) {
            t->cuts(row, x, x + n, d);
            for (int32_t i = 0; i < n; ++i) out[x - x0 + i] -= d[i];
        } else {
            // Columns x .. x + n - 1 are the corner's s_.width - x - n .. s_.width - 1 - x.
            t->cuts(row, s_.width - x - n, s_.width - x, d);
            for (int32_t i = 0; i < n; ++i) out[x - x0 + i] -= d[n - 1 - i];
        }
    }
}

// ---- the alpha writer -----------------------------------------------------------------------

namespace {

// alpha_base x V rounded to nearest: both at most 255.5 before the truncation.
inline uint8_t byte_of(float alpha, float value) noexcept {
    return static_cast<uint8_t>(static_cast<int32_t>(alpha * value + 0.5f));
}

// Where a row's pixels go, each written once with its colour bytes and its alpha: whole
// words on packed pixels (runs of one alpha through fill_words), else each pixel's samples
// through the planes, colour first.
class row_store {
public:
    row_store(const planes& target, const uint8_t rgb[3], const simd::kernels& k) noexcept
        : target_(target), fill_(k.fill_words), rgb_{rgb[0], rgb[1], rgb[2]}, packed_(px_.bind(target)) {
        if (!packed_) return;
        // A word with one nonzero byte: its value times a is the word with a there.
        base_ = px_.word_of(rgb[0], rgb[1], rgb[2], 0);
        unit_ = px_.word_of(0, 0, 0, 1);
    }

    // Pixels x0 .. x0 + n - 1 of row y get the alphas a[0 .. n).
    void bytes(int32_t y, int32_t x0, const uint8_t* a, int32_t n) const noexcept {
        if (packed_) {
            uint8_t* const dst = px_.word_at(x0, y);
            for (int32_t i = 0; i < n; ++i) {
                const uint32_t word = base_ | uint32_t{a[i]} * unit_;
                std::memcpy(dst + std::ptrdiff_t{4} * i, &word, 4);
            }
            return;
        }
        for (int32_t i = 0; i < n; ++i) put(x0 + i, y, a[i]);
    }

    // Pixels x0 .. x0 + n - 1 of row y get one alpha.
    void run(int32_t y, int32_t x0, int32_t n, uint8_t a) const noexcept {
        if (n <= 0) return;
        if (packed_) {
            fill_(px_.word_at(x0, y), static_cast<std::size_t>(n), base_ | uint32_t{a} * unit_);
            return;
        }
        for (int32_t i = 0; i < n; ++i) put(x0 + i, y, a);
    }

private:
    void put(int32_t x, int32_t y, uint8_t a) const noexcept {
        const pixel px = target_.at(x, y);
        px.set_rgb(rgb_[0], rgb_[1], rgb_[2]);
        *px.alpha = a;
    }

    const planes& target_;
    void (*const fill_)(uint8_t*, std::size_t, uint32_t) noexcept;
    const uint8_t rgb_[3];
    packed_pixels px_;
    const bool packed_;
    uint32_t base_ = 0, unit_ = 0;
};

// The field's rows as pixels, written into the target row after row.
class writer {
public:
    writer(const planes& target, const field& f, const params& p, const simd::kernels& k) noexcept
        : target_(target), field_(f), out_(target, p.rgb, k), alpha_(p.alpha), mirror_(f.symmetric()) {}

    // False when memory ran out.
    bool reserve() noexcept {
        const auto n = static_cast<std::size_t>(target_.width);
        try {
            values_.resize(n);
            bytes_.resize(n);
            plain_.resize(n);
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }

    // A shadow with four equal corners is its own mirror image across both middles: the top
    // half's rows are formed from their left halves and each stored twice.
    void all_rows() noexcept {
        const int32_t height = target_.height, rows = mirror_ ? (height + 1) / 2 : height;
        for (int32_t y = 0; y < rows; ++y) {
            const int32_t twin = mirror_ && height - 1 - y != y ? height - 1 - y : -1;
            one_row(y, twin);
        }
    }

private:
    // Row y, and when twin >= 0 row twin, which has the same bytes.
    void one_row(int32_t y, int32_t twin) noexcept {
        const int32_t width = target_.width;
        const coverage::flat_span span = field_.flat(y);
        const uint8_t flat = byte_of(alpha_, span.value);
        // Rows that no corner reaches and whose flat value is 1 are all alike (the middle
        // rows of a large shadow): their bytes are formed once.
        const bool reuse = span.value == 1.0f && field_.separable(y);
        uint8_t* const out = reuse ? plain_.data() : bytes_.data();
        if (!reuse || !plain_ready_) {
            edges(y, span, out);
            plain_ready_ = plain_ready_ || reuse;
        }
        for (const int32_t row : {y, twin}) {
            if (row < 0) continue;
            out_.bytes(row, 0, out, span.x0);
            out_.run(row, span.x0, span.x1 - span.x0, flat);
            out_.bytes(row, span.x1, out + span.x1, width - span.x1);
        }
    }

    // The bytes of row y outside its flat span, at their columns in out.
    void edges(int32_t y, const coverage::flat_span& span, uint8_t* out) noexcept {
        const int32_t width = target_.width;
        bytes_of(y, 0, span.x0, out);
        if (mirror_ && span.x1 == width - span.x0) {
            for (int32_t i = 0; i < span.x0; ++i) out[width - 1 - i] = out[i];
        } else {
            bytes_of(y, span.x1, width, out + span.x1);
        }
    }

    void bytes_of(int32_t y, int32_t x0, int32_t x1, uint8_t* out) noexcept {
        field_.row(y, x0, x1, values_.data());
        for (int32_t i = 0; i < x1 - x0; ++i) out[i] = byte_of(alpha_, values_[static_cast<std::size_t>(i)]);
    }

    const planes& target_;
    const field& field_;
    const row_store out_;
    const float alpha_;
    const bool mirror_;
    bool plain_ready_ = false;
    std::vector<float> values_;
    std::vector<uint8_t> bytes_, plain_;  // a row's bytes; those of the rows with no corner and value 1
};

}  // namespace

bool draw(const planes& target, const params& p, const simd::kernels& k) noexcept {
    FS_CHECK(target.width == p.s.width && target.height == p.s.height);
    if (target.width <= 0 || target.height <= 0) return true;
    if (p.alpha == 0 || p.s.empty) {  // the colour with alpha 0 everywhere
        const row_store out(target, p.rgb, k);
        for (int32_t y = 0; y < target.height; ++y) out.run(y, 0, target.width, 0);
        return true;
    }
    field f;
    if (!f.build(p.s, k)) return false;
    writer w(target, f, p, k);
    if (!w.reserve()) return false;
    w.all_rows();
    return true;
}

bool draw(const planes& target, const params& p) noexcept { return draw(target, p, simd::chosen); }

}  // namespace fs::shadow
