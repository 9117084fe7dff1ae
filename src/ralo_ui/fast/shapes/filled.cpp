// A new surface filled with one colour, its corners rounded with anti-aliased edges.
#include "shapes.hpp"

#include "convert.hpp"
#include "corner_kernel.hpp"
#include "detach.hpp"
#include "host.hpp"
#include "pixel_view.hpp"

namespace fs {

PyObject* filled_surface(PyObject* size, PyObject* radii_input, PyObject* color) noexcept {
    // Both items are read before anything is made: a tuple shorter than two
    // raises IndexError here instead of being read past its end.
    int32_t width = 0, height = 0;
    if (!size_item(size, 0, width) || !size_item(size, 1, height)) return nullptr;
    corner_radii radii;
    if (!read_radii(radii_input, radii)) return nullptr;

    ref surf = new_surface(width, height);
    if (!surf) return nullptr;
    int32_t alpha_base = 0;
    if (!colour_alpha(color, alpha_base)) return nullptr;
    if (alpha_base == 0) {
        // Fully transparent whatever the colour: transparent black, no pixel work.
        if (!fill(surf.get(), k.transparent)) return nullptr;
        return surf.release();
    }
    // Every pixel now has the colour and its alpha; only corner alphas change below.
    if (!fill(surf.get(), color)) return nullptr;

    surface_views views;
    // Only the alpha view is indexed; the colour view is held but never touched.
    if (!views.acquire(surf.get()) || !views.alpha_fits(width, height)) return nullptr;

    // No radius may exceed half the smaller side.  Formed in double from the
    // integers and rounded once; `min_dim < r` keeps a NaN radius NaN, and the
    // corner loop skips it.
    const float min_dim = narrow((width < height ? width : height) / 2.0);
    for (float* r : {&radii.top_left, &radii.top_right, &radii.bottom_right, &radii.bottom_left}) {
        if (min_dim < *r) *r = min_dim;
    }
    // The rectangle's edges lie on the outer edges of the border pixels: half
    // extents width / 2 and height / 2 about the pixel-centre midpoint.  Each is
    // formed in double from the integers and rounded once to single precision.
    const corner_geometry geometry{
        .top_left = radii.top_left,
        .top_right = radii.top_right,
        .bottom_left = radii.bottom_left,
        .bottom_right = radii.bottom_right,
        .center_x = narrow((static_cast<double>(width) - 1.0) / 2.0),
        .center_y = narrow((static_cast<double>(height) - 1.0) / 2.0),
        .half_w = narrow(width / 2.0),
        .half_h = narrow(height / 2.0),
    };
    const alpha_plane plane{views.alpha.data, views.alpha.strides[0], views.alpha.strides[1],
                            width, height};
    // Edge pixels get coverage times the colour's alpha; int32 -> float rounds to nearest.
    const float alpha = static_cast<float>(alpha_base);
    {
        detached nogil;
        round_corners(plane, geometry, edge_rule::scaled, alpha);
    }
    return surf.release();
}

}  // namespace fs
