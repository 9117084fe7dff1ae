// The soft shadow's tables: the pixel kernel's profile, the corner arcs' nodes and their weights.
#include "shadow_tables.hpp"

#include "numeric.hpp"
#include "shadow_math.hpp"
#include "simd/dispatch.hpp"

#include <algorithm>
#include <cmath>
#include <new>

namespace fs {

// The baseline entries of the kernel table: the tails lane by lane, and the dot product in
// the eight running sums the AVX2 unit keeps in its lanes, added up in the order it adds them.
void simd::baseline::shadow_tails(const float* z, float* q, float* g, std::size_t n) noexcept {
    for (std::size_t i = 0; i < n; ++i) shadow::tails(z[i], q[i], g[i]);
}

float simd::baseline::shadow_dot(const float* a, const float* b, std::size_t n) noexcept {
    float acc[8] = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        for (int l = 0; l < 8; ++l) acc[l] += a[i + l] * b[i + l];
    }
    for (int l = 0; i + l < n; ++l) acc[l] += a[i + l] * b[i + l];
    return ((acc[0] + acc[4]) + (acc[2] + acc[6])) + ((acc[1] + acc[5]) + (acc[3] + acc[7]));
}

// out[i] = k_u[i] sum - a[0] k[i] - a[1] k[stride + i] - ..., each column on its own in
// node order: the AVX2 unit takes eight columns a step with the same operations per lane.
void simd::baseline::shadow_cut_row(const float* a, std::size_t nodes, const float* k, std::size_t stride,
                                    const float* k_u, float sum, float* out, std::size_t n) noexcept {
    for (std::size_t i = 0; i < n; ++i) {
        float d = k_u[i] * sum;
        for (std::size_t j = 0; j < nodes; ++j) d -= a[j] * k[j * stride + i];
        out[i] = d;
    }
}

namespace shadow {
namespace {

constexpr double half_pi = 1.57079632679489661923;

// Gauss-Legendre, 8 nodes on [-1, 1]: exact for polynomials of degree 15.
constexpr double gl_x[8] = {-0.9602898564975363, -0.7966664774136267, -0.5255324099163290, -0.1834346424956498,
                            0.1834346424956498,  0.5255324099163290,  0.7966664774136267,  0.9602898564975363};
constexpr double gl_w[8] = {0.1012285362903763, 0.2223810344533745, 0.3137066458778873, 0.3626837833783620,
                            0.3626837833783620, 0.3137066458778873, 0.2223810344533745, 0.1012285362903763};

// Below this sigma the kernel bends within a fraction of a pixel: the rule then follows the
// pixel edges instead of a fixed step.  At it, both rules take pieces of half a pixel.
constexpr double fine_sigma = 1.0 / 6.0;

// The tails of the arguments that need them: |(x + 1/2) / s| and |(x - 1/2) / s| for each x
// within the reach (beyond it k is 0 and K is 0 or 1, and no tail is computed).  tails[2 i]
// and tails[2 i + 1] are x[i]'s, written only for the x within reach.
// Positions are double (a pixel's centre less a node's position keeps its fraction however
// far from the origin both lie); each argument is rounded once to single precision, which
// moves Phi by at most 6e-8 times z phi(z) < 2.5e-8.
struct tail_pairs {
    std::vector<float> args, q, g;
    std::vector<uint32_t> at;  // which x each pair belongs to

    void compute(const simd::kernels& k, double sigma, const double* x, std::size_t n) {
        const double e = reach(sigma), scale = 1.0 / sigma;
        args.resize(2 * n);
        at.resize(n);
        std::size_t m = 0;
        for (std::size_t i = 0; i < n; ++i) {
            if (!(std::fabs(x[i]) < e)) continue;
            args[2 * m] = narrow(std::fabs((x[i] + 0.5) * scale));
            args[2 * m + 1] = narrow(std::fabs((x[i] - 0.5) * scale));
            at[m++] = static_cast<uint32_t>(i);
        }
        args.resize(2 * m);
        at.resize(m);
        q.resize(args.size());
        g.resize(args.size());
        k.shadow_tails(args.data(), q.data(), g.data(), args.size());
    }
};

// k(z) = Phi((z + 1/2) / s) - Phi((z - 1/2) / s) for each z, from the upper tails Q of
// |a| and |b|: whichever side of 0 each lies, no two numbers near 1 are subtracted unless
// the kernel itself is near 1.
void density(const simd::kernels& k, double sigma, const double* z, std::size_t n, float* out, tail_pairs& tp) {
    tp.compute(k, sigma, z, n);
    std::fill(out, out + n, 0.0f);
    for (std::size_t j = 0; j < tp.at.size(); ++j) {
        const std::size_t i = tp.at[j];
        const float qa = tp.q[2 * j], qb = tp.q[2 * j + 1];
        float value;
        if (z[i] - 0.5 >= 0.0) {
            value = qb - qa;
        } else if (!(z[i] + 0.5 >= 0.0)) {
            value = qa - qb;
        } else {
            value = (1.0f - qa) - qb;
        }
        out[i] = std::max(value, 0.0f);
    }
}

}  // namespace

void cdf(const simd::kernels& k, double sigma, const double* t, std::size_t n, float* out) {
    tail_pairs tp;
    tp.compute(k, sigma, t, n);
    for (std::size_t i = 0; i < n; ++i) out[i] = t[i] > 0.0 ? 1.0f : 0.0f;
    const float s = narrow(sigma);
    for (std::size_t j = 0; j < tp.at.size(); ++j) {
        const std::size_t i = tp.at[j];
        const float ramp = narrow(std::clamp(t[i] + 0.5, 0.0, 1.0));
        out[i] = std::clamp(ramp + s * (tp.g[2 * j] - tp.g[2 * j + 1]), 0.0f, 1.0f);
    }
}

// ---- the corner's nodes ---------------------------------------------------------------------

namespace {

// The angles t where the arc meets the pixel edges of one axis (x' or y' = -inset + an
// integer), and 2 and 6 sigma either side of them, into cuts.  `vertical`: the edges are
// columns' (x' = r - r sin t), else rows' (y' = r - r cos t).
void edge_cuts(double r, double sigma, double inset, bool vertical, std::vector<double>& cuts) {
    const double offsets[5] = {0.0, 2.0 * sigma, -2.0 * sigma, tail_sigmas * sigma, -tail_sigmas * sigma};
    const double first = std::floor(inset - tail_sigmas * sigma);
    for (double line = first; line - inset < r + tail_sigmas * sigma + 1.0; line += 1.0) {
        for (double off : offsets) {
            const double at = (line - inset) + off;
            if (!(at > 0.0 && at < r)) continue;
            const double c = (r - at) / r;  // sin t for x', cos t for y'
            cuts.push_back(vertical ? std::asin(c) : std::acos(c));
        }
    }
}

}  // namespace

void corner_table::place_nodes(double r, double sigma, double inset_x, double inset_y) {
    // Breakpoints in t: the arc's ends, and for a small sigma the pixel edges and either
    // side of them, where k and K bend within a fraction of a pixel.
    std::vector<double> cuts{0.0, half_pi};
    if (sigma < fine_sigma) {
        edge_cuts(r, sigma, inset_x, true, cuts);
        edge_cuts(r, sigma, inset_y, false, cuts);
    }
    std::sort(cuts.begin(), cuts.end());
    const double longest = sigma < fine_sigma ? 0.5 : 6.0 * sigma;  // arc length of a piece
    for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
        const double span = cuts[i + 1] - cuts[i];
        if (!(span > 0.0)) continue;
        const double pieces = std::ceil(span * r / longest);
        const double step = span / pieces;
        for (double p = 0.0; p < pieces; p += 1.0) add_piece(r, cuts[i] + p * step, step);
    }
}

// Eight Gauss-Legendre nodes on [t0, t0 + step] of the arc.
void corner_table::add_piece(double r, double t0, double step) {
    const double half = 0.5 * step, mid = t0 + half;
    for (int j = 0; j < 8; ++j) {
        const double t = mid + half * gl_x[j];
        node_x_.push_back(r - r * std::sin(t));
        node_y_.push_back(r - r * std::cos(t));
        node_w_.push_back(half * gl_w[j] * r * std::sin(t));
    }
}

// ---- the tables per row and per column ------------------------------------------------------

void corner_table::build_rows(const simd::kernels& k, double sigma, double inset_y) {
    const double e = reach(sigma);
    const auto rows = static_cast<std::size_t>(rows_);
    row_lo_.resize(rows);
    row_hi_.resize(rows);
    row_at_.resize(rows);
    std::vector<double> z;
    for (std::size_t i = 0; i < rows; ++i) {
        const double v = (static_cast<double>(i) + 0.5) - inset_y;
        // y'_n rises with n: the window is where |v - y'_n| < e.
        const auto lo = std::upper_bound(node_y_.begin(), node_y_.end(), v - e);
        const auto hi = std::lower_bound(lo, node_y_.end(), v + e);
        row_lo_[i] = static_cast<int32_t>(lo - node_y_.begin());
        row_hi_[i] = static_cast<int32_t>(hi - node_y_.begin());
        row_at_[i] = static_cast<int32_t>(z.size());
        for (auto it = lo; it != hi; ++it) z.push_back(v - *it);
    }
    // Single precision from here: each weight is rounded once, each product and running sum
    // once per term (a row's sum is at most 1, with a few thousand terms at most: its error
    // stays below 1e-5 of a pixel's value).
    a_.resize(z.size());
    tail_pairs tp;
    density(k, sigma, z.data(), z.size(), a_.data(), tp);
    sum_.resize(z.size() + rows);
    for (std::size_t i = 0; i < rows; ++i) {
        float* const a = a_.data() + row_at_[i];
        float* const sums = sum_.data() + row_at_[i] + i;
        const auto n = static_cast<std::size_t>(row_hi_[i] - row_lo_[i]);
        float total = 0.0f;
        sums[0] = total;
        for (std::size_t j = 0; j < n; ++j) {
            a[j] *= narrow(node_w_[static_cast<std::size_t>(row_lo_[i]) + j]);
            total += a[j];
            sums[j + 1] = total;
        }
    }
}

void corner_table::build_cols(const simd::kernels& k, double sigma, double inset_x) {
    const double e = reach(sigma);
    const auto cols = static_cast<std::size_t>(cols_), nodes = node_x_.size();
    col_lo_.resize(cols);
    col_hi_.resize(cols);
    col_at_.resize(cols);
    // K(u) of every column first, then K(u - x'_n): node by node over all columns (dense), or
    // column by column over the nodes within reach.
    std::vector<double> t(cols);
    for (std::size_t i = 0; i < cols; ++i) t[i] = (static_cast<double>(i) + 0.5) - inset_x;
    dense_ = nodes * cols <= dense_limit;
    for (std::size_t i = 0; i < cols; ++i) {
        const double u = t[i];
        // x'_n falls with n: the window is where |u - x'_n| < e.
        const auto lo = std::upper_bound(node_x_.begin(), node_x_.end(), u + e, std::greater<double>());
        const auto hi = std::lower_bound(lo, node_x_.end(), u - e, std::greater<double>());
        col_lo_[i] = static_cast<int32_t>(lo - node_x_.begin());
        col_hi_[i] = static_cast<int32_t>(hi - node_x_.begin());
        col_at_[i] = static_cast<int32_t>(t.size() - cols);
        if (!dense_) {
            for (auto it = lo; it != hi; ++it) t.push_back(u - *it);
        }
    }
    if (dense_) {
        t.resize(cols + nodes * cols);
        for (std::size_t n = 0; n < nodes; ++n)
            for (std::size_t i = 0; i < cols; ++i) t[cols + n * cols + i] = t[i] - node_x_[n];
    }
    std::vector<float> values(t.size());
    cdf(k, sigma, t.data(), t.size(), values.data());
    k_u_.assign(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(cols));
    k_.assign(values.begin() + static_cast<std::ptrdiff_t>(cols), values.end());
}

bool corner_table::build(const simd::kernels& k, double r, double sigma, double inset_x, double inset_y, int32_t width,
                         int32_t height) noexcept {
    dot_ = k.shadow_dot;
    cut_row_ = k.shadow_cut_row;
    // The patch: pixels whose centre lies within the reach of the corner square.
    const double e = reach(sigma);
    const auto extent = [&](double inset, int32_t limit) {
        const double n = std::ceil(inset + r + e - 0.5);  // first d with d + 0.5 - inset >= r + e
        return n <= 0.0 ? 0 : n >= limit ? limit : static_cast<int32_t>(n);
    };
    cols_ = extent(inset_x, width);
    rows_ = extent(inset_y, height);
    try {
        narrow_patch(k, r, sigma, inset_x, inset_y);
        place_nodes(r, sigma, inset_x, inset_y);
        build_rows(k, sigma, inset_y);
        build_cols(k, sigma, inset_x);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// What the corner leaves out lies in its square, so D(u, v) <= B(u) B(v), B(u) = K(u) - K(u - r)
// being the share of a pixel's kernel over the square's columns (or rows).  Columns where
// B(u) times the largest B of any row stays below `negligible` are left out of the patch, and
// rows likewise: a large blur spreads a small corner so thin that most of its reach carries
// nothing a byte could show.
void corner_table::narrow_patch(const simd::kernels& k, double r, double sigma, double inset_x, double inset_y) {
    const auto cols = static_cast<std::size_t>(cols_), rows = static_cast<std::size_t>(rows_);
    std::vector<double> t(2 * (cols + rows));
    for (std::size_t i = 0; i < cols + rows; ++i) {
        const double u = (static_cast<double>(i < cols ? i : i - cols) + 0.5) - (i < cols ? inset_x : inset_y);
        t[2 * i] = u;
        t[2 * i + 1] = u - r;
    }
    std::vector<float> values(t.size()), share(cols + rows);
    cdf(k, sigma, t.data(), t.size(), values.data());
    float most_x = 0.0f, most_y = 0.0f;
    for (std::size_t i = 0; i < cols + rows; ++i) {
        share[i] = values[2 * i] - values[2 * i + 1];
        (i < cols ? most_x : most_y) = std::max(i < cols ? most_x : most_y, share[i]);
    }
    const auto last = [&](std::size_t first, std::size_t n, float other) {
        int32_t end = 0;
        for (std::size_t i = 0; i < n; ++i) {
            if (share[first + i] * other >= negligible) end = static_cast<int32_t>(i) + 1;
        }
        return end;
    };
    cols_ = last(0, cols, most_y);
    rows_ = last(cols, rows, most_x);
}

// D = K(u) (sum of the row's weights) - the nodes where the column's K(u - x'_n) is neither
// 0 nor 1, each weighed - the nodes past the column's reach, where it is 1.
float corner_table::cut(int32_t col, int32_t row) const noexcept {
    const auto c = static_cast<std::size_t>(col), w = static_cast<std::size_t>(row);
    const int32_t n0 = row_lo_[w], n1 = row_hi_[w], m0 = col_lo_[c], m1 = col_hi_[c];
    if (n0 == n1) return 0.0f;
    const float* sums = sum_.data() + row_at_[w] + row;  // row w's running sums, n0 .. n1
    float d = k_u_[c] * sums[n1 - n0];
    const int32_t lo = std::max(n0, m0), hi = std::min(n1, m1);
    if (lo < hi) {
        d -= dot_(a_.data() + row_at_[w] + (lo - n0), k_.data() + col_at_[c] + (lo - m0),
                  static_cast<std::size_t>(hi - lo));
    }
    const int32_t past = std::max(m1, n0);
    if (past < n1) d -= sums[n1 - n0] - sums[past - n0];
    return d;
}

void corner_table::cuts(int32_t row, int32_t col0, int32_t col1, float* out) const noexcept {
    const auto w = static_cast<std::size_t>(row);
    const int32_t n0 = row_lo_[w], n1 = row_hi_[w];
    if (n0 == n1) {
        std::fill(out, out + (col1 - col0), 0.0f);
        return;
    }
    if (!dense_) {
        for (int32_t c = col0; c < col1; ++c) out[c - col0] = cut(c, row);
        return;
    }
    // Every column holds K(u - x'_n) for every node: one pass over the row's nodes.
    const float total = sum_[static_cast<std::size_t>(row_at_[w] + row + (n1 - n0))];
    cut_row_(a_.data() + row_at_[w], static_cast<std::size_t>(n1 - n0),
             k_.data() + static_cast<std::size_t>(n0) * static_cast<std::size_t>(cols_) + col0,
             static_cast<std::size_t>(cols_), k_u_.data() + col0, total, out, static_cast<std::size_t>(col1 - col0));
}

}  // namespace shadow
}  // namespace fs
