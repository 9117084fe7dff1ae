// The soft shadow's tables: its one-dimensional profile and the corner arcs' quadrature.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fs::simd {
struct kernels;
}

namespace fs::shadow {

// Beyond this many sigmas a Gaussian tail is left out: Phi(-6) ~ 1e-9, a millionth of what a
// byte resolves.  The pixel kernel k (the unit box convolved with the Gaussian) is then 0
// beyond reach(sigma) = 1/2 + 6 sigma from its centre, and its integral K is 0 or 1.
constexpr double tail_sigmas = 6.0;
inline double reach(double sigma) noexcept { return 0.5 + tail_sigmas * sigma; }

// K(t), the integral of the pixel kernel up to t, for each t[i], into out[i]; sigma > 0.
// K(t) = F(t + 1/2) - F(t - 1/2) with F(u) = u Phi(u/s) + s phi(u/s), written without the
// cancellation of its two large terms as clamp(t + 1/2, 0, 1) + s (g(|t + 1/2| / s) -
// g(|t - 1/2| / s)), g the tail ramp of shadow_math.hpp.  Exactly 0 and 1 beyond the reach.
// May throw std::bad_alloc.
void cdf(const simd::kernels& k, double sigma, const double* t, std::size_t n, float* out);

// The quadrature of one corner's arc and its tables over the window's pixels.  The corner is
// seen in its own frame: x' inward from its vertical edge, y' inward from its horizontal one;
// the corner square is [0, r]^2 and the shape leaves out of it the points x' < r - sqrt(r^2 -
// (r - y')^2).  What that leaves out weighs, at a pixel centred at (u, v) in that frame,
//   D(u, v) = integral over y' in [0, r] of k(v - y') (K(u) - K(u - a(y'))) dy',
// and the pixel's value is the rectangle's product of profiles less the four corners' D.
// Along the arc, y' = r - r cos t and a = x' = r - r sin t for t in [0, pi/2], so the rule is
// Gauss-Legendre in t (8 nodes a piece; no square-root end point), over pieces short enough
// for the Gaussian: at most 6 sigma of arc (checked against the float64 model: about 1e-5 at
// worst); for sigma below 1/6, pieces of at most half a pixel split where pixel edges cross
// the arc and 2 and 6 sigma either side of them, where k and K bend sharply.
class corner_table {
public:
    // Tables for a corner of radius r > 0 whose edges lie inset_x and inset_y inside the
    // window's sides; `width` and `height` bound the patch it covers.  False when memory ran
    // out (the object is then unusable).
    bool build(const simd::kernels& k, double r, double sigma, double inset_x, double inset_y, int32_t width,
               int32_t height) noexcept;

    // The patch of pixels the corner changes: columns [0, cols) and rows [0, rows) counted
    // from the corner's own sides of the window.
    int32_t cols() const noexcept { return cols_; }
    int32_t rows() const noexcept { return rows_; }

    // D at the pixels `col0` .. `col1` - 1 columns in from the corner's side, `row` rows in
    // from its other side (all in the patch), into out[0 ..].
    void cuts(int32_t row, int32_t col0, int32_t col1, float* out) const noexcept;

private:
    // Up to this many K values (256 KiB) the columns keep one for every node, and a row's D
    // is one pass over its nodes for all columns at once; beyond, each column keeps the nodes
    // within its reach and each pixel meets its own.
    static constexpr std::size_t dense_limit = 64 * 1024;
    // A cut this small is left out: 255 times it is 5e-4 of an alpha unit.
    static constexpr float negligible = 2e-6f;

    float cut(int32_t col, int32_t row) const noexcept;
    void narrow_patch(const simd::kernels& k, double r, double sigma, double inset_x, double inset_y);
    void place_nodes(double r, double sigma, double inset_x, double inset_y);
    void add_piece(double r, double t0, double step);
    void build_rows(const simd::kernels& k, double sigma, double inset_y);
    void build_cols(const simd::kernels& k, double sigma, double inset_x);

    float (*dot_)(const float*, const float*, std::size_t) noexcept = nullptr;
    void (*cut_row_)(const float*, std::size_t, const float*, std::size_t, const float*, float, float*,
                     std::size_t) noexcept = nullptr;
    int32_t cols_ = 0, rows_ = 0;
    bool dense_ = false;
    std::vector<double> node_x_, node_y_, node_w_;  // x'_n (falling), y'_n (rising), weight incl. r sin t
    // Per row: the nodes within reach [lo, hi), and where its values start in `a_` and `sum_`.
    std::vector<int32_t> row_lo_, row_hi_, row_at_;
    std::vector<float> a_;    // weight_n k(v - y'_n) over the row's window
    std::vector<float> sum_;  // running sums of a_, one more entry per row (starting at 0)
    // Per column: the nodes within reach [lo, hi) and where its values start in `k_`.
    std::vector<int32_t> col_lo_, col_hi_, col_at_;
    std::vector<float> k_u_;  // K(u) per column
    std::vector<float> k_;    // K(u - x'_n): dense, node n's for every column at n * cols; else per column window
};

}  // namespace fs::shadow
