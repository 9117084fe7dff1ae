// A new surface filled with one colour, its corners rounded with anti-aliased edges.
#include "shapes.hpp"

#include "convert.hpp"
#include "detach.hpp"
#include "host.hpp"
#include "pixel_view.hpp"
#include "raster/corner_kernel.hpp"

namespace fs {

PyObject* filled_surface(PyObject* size, PyObject* radii_input, PyObject* color) noexcept {
    // Both items are read before anything is made: a tuple shorter than two
    // raises IndexError here instead of being read past its end.
    int32_t width = 0, height = 0;
    if (!size_item(size, 0, width) || !size_item(size, 1, height)) return nullptr;
    corner_radii radii;
    if (!read_radii(radii_input, radii)) return nullptr;

    ref surf = new_surface(size, width, height);
    if (!surf) return nullptr;
    int32_t alpha_base = 0;
    if (!colour_alpha(color, alpha_base)) return nullptr;
    if (alpha_base == 0) {
        // Fully transparent whatever the colour: transparent black, no pixel work.
        if (!fill(surf.get(), st.transparent)) return nullptr;
        return surf.release();
    }
    // Every pixel now has the colour and its alpha; only corner alphas change below.
    if (!fill(surf.get(), color)) return nullptr;

    surface_views views;
    // Only the alpha view is indexed; the colour view is held but never touched.
    if (!views.acquire(surf.get()) || !views.alpha_fits(width, height)) return nullptr;

    const corner_geometry geometry = filled_geometry(width, height, radii);
    const planes plane = views.as_planes(width, height);
    // Edge pixels get coverage times the colour's alpha; int32 -> float rounds to nearest.
    const float alpha = static_cast<float>(alpha_base);
    {
        detached nogil;
        round_corners(plane, geometry, edge_rule::scaled, alpha);
    }
    return surf.release();
}

}  // namespace fs
