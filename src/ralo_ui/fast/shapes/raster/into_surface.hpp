// Drawing a rounded rectangle's coverage, a band between two of them, or a shadow straight into a surface.
#pragma once

#include "blend.hpp"
#include "shadow.hpp"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fs::simd {
struct kernels;
}

namespace fs::into_surface {

// A surface's pixels: pixel (x, y) at pixels + y * pitch + x * paint.at.bytes, for x in
// [0, width) and y in [0, height).
struct surface {
    uint8_t* pixels;
    std::ptrdiff_t pitch;
    int32_t width, height;
};

// A pixel rectangle [x0, x1) x [y0, y1) of a surface.
struct box {
    int32_t x0, y0, x1, y1;
    bool empty() const noexcept { return !(x1 > x0 && y1 > y0); }
};

// A shape in surface coordinates, pixel (x, y) being the unit square [x, x + 1] x [y, y + 1]:
// its edges (finite) and its radii (top-left, top-right, bottom-right, bottom-left), bounded
// so that no two corners' squares overlap, never NaN.
struct edges {
    double left, top, right, bottom;
    double radii[4];
};

// The pixels a shape's edges reach, [floor(left), ceil(right)) x [floor(top), ceil(bottom)),
// grown by `margin` on every side and cut to `clip` (a box of the surface).
box reach(const edges& e, int32_t margin, const box& clip) noexcept;

// The field's shape for `e` seen from the window `w` (its origin and size): insets from the
// window's sides, `sigma` 0 (the exact coverage) unless given.
shadow::shape shape_in(const edges& e, const box& w, double sigma = 0.0) noexcept;

// The band between `outer` and the rounded rectangle inset `width` from it, whose radii are
// the outer ones less `width`, never below 0 (no band wider than half the smaller side is
// needed: the inner shape is then empty).
edges inset(const edges& outer, double width) noexcept;

// The rows [first, last) of surface in which every row's coverage is the same, whole rows
// away from every corner of the exact shapes `outer` and `inner` (if any), a row short of
// their corner squares on either side; empty when there are none.
struct rows {
    int32_t first, last;
};
rows alike_rows(const edges& outer, const edges* inner) noexcept;

// One layer drawn: the field (window `window`, in surface coordinates) and, for a band, the
// field of its inner shape over the same window, whose values are taken away.  Only the
// pixels of `clip` (inside the window) are touched.  The rows `alike` are drawn from the
// first one's pieces (exact fields only: {0, 0} otherwise).
struct layer {
    const shadow::field* outer;
    const shadow::field* inner;  // nullptr: no hole
    box window;
    box clip;
    rows alike;
};

// Scratch rows a drawing uses, three of the clip's width; made by the caller (who can report
// running out of memory) before the pixel loop.
struct scratch {
    float* a;
    float* b;
    float* kept;  // the coverages of the alike rows' pixel-by-pixel pieces
};

// Every write of a drawing, in window coordinates: a run of pixels at one coverage, or a run
// whose coverages are kept in `values`.  Each pixel is written once, so the runs' order does
// not matter.  Replayed at another window of the same size, with any paint, they write the
// bytes a drawing there would, without forming a coverage again.  Bounded: a drawing that
// writes more than it holds is not kept whole.
class recording {
public:
    struct run {
        int32_t y, x0, x1;
        float c;  // the coverage; below 0: the coverages are values[at ..]
        uint32_t at;
    };
    static constexpr std::size_t most_runs = 4096, most_values = 16384;

    void clear() noexcept;
    void constant(int32_t y, int32_t x0, int32_t x1, float c) noexcept {
        if (runs_.size() < runs_.capacity()) {  // room made before (add): push_back cannot throw
            runs_.push_back({y, x0, x1, c, 0});
        } else {
            add({y, x0, x1, c, 0});
        }
    }
    void varying(int32_t y, int32_t x0, int32_t x1, const float* cov) noexcept;
    bool whole() const noexcept { return whole_; }
    // The runs again, window origin at (ox, oy) of `s`.  tmp.a holds a row of the widest run.
    void replay(const surface& s, int32_t ox, int32_t oy, const blend::paint& p, const scratch& tmp,
                const simd::kernels& k) const noexcept;

private:
    bool add(const run& r) noexcept;
    std::vector<run> runs_;
    std::vector<float> values_;
    bool whole_ = true;
};

// Composites the paint over every pixel of the layer's clip by its coverage: the outer value
// less the inner one.  Pixels of coverage 1 under an opaque colour are written as the colour's
// pixel (runs of them as words); pixels of coverage 0 are left alone.  Each write goes into
// `rec` too when one is given (window coordinates).  No allocation beyond the recording's, no
// interpreter call.
void draw(const surface& s, const layer& l, const blend::paint& p, const scratch& tmp, const simd::kernels& k,
          recording* rec = nullptr) noexcept;

}  // namespace fs::into_surface
