// Cuts the corners of a caller's surface in place, optionally filling it with a colour first.
#include "shapes.hpp"

#include "convert.hpp"
#include "corner_kernel.hpp"
#include "detach.hpp"
#include "host.hpp"
#include "pixel_view.hpp"

namespace fs {

PyObject* round_in_place(PyObject* surf, PyObject* radii_input, PyObject* color) noexcept {
    int32_t width = 0, height = 0;
    if (!surface_size(surf, width, height)) return nullptr;
    corner_radii radii;
    if (!read_radii(radii_input, radii)) return nullptr;

    // Radii lie between 0 and half the smaller side.  Each half is formed in
    // double from the integer and rounded once; NaN fails both comparisons,
    // stays NaN and is skipped like 0.
    const float max_radius_w = narrow(width / 2.0);
    const float max_radius_h = narrow(height / 2.0);
    const float max_radius = max_radius_h < max_radius_w ? max_radius_h : max_radius_w;
    bool any_corner = false;
    for (float* r : {&radii.top_left, &radii.top_right, &radii.bottom_right, &radii.bottom_left}) {
        if (*r < 0.0f) *r = 0.0f;
        if (max_radius < *r) *r = max_radius;
        any_corner = any_corner || *r > 0.0f;
    }

    const bool has_color = color != nullptr && color != Py_None;
    int32_t alpha_base = 0;
    if (!has_color) {
        if (!any_corner) Py_RETURN_NONE;  // nothing to cut: the surface is not even locked
    } else {
        // The colour is checked whole before anything is filled; its red, green
        // and blue reach the pixels only through fill().
        uint8_t rgb[3];
        if (!colour_alpha(color, alpha_base) || !colour_rgb(color, rgb)) return nullptr;
        if (!any_corner) {
            if (!fill(surf, color)) return nullptr;
            Py_RETURN_NONE;
        }
        if (alpha_base == 0) {
            if (!fill(surf, k.transparent)) return nullptr;
            Py_RETURN_NONE;
        }
        if (!fill(surf, color)) return nullptr;
    }

    // `surf` is any object: the size it reported must be covered by its alpha
    // view before a corner is cut (the colour view is held but never touched).
    surface_views views;
    if (!views.acquire(surf) || !views.alpha_fits(width, height)) return nullptr;

    // The rectangle's edges pass through the centres of the border pixels: the
    // half extents equal the centre, (width - 1) / 2 and (height - 1) / 2, each
    // formed in double from the integer and rounded once to single precision.
    const float center_x = narrow((static_cast<double>(width) - 1.0) / 2.0);
    const float center_y = narrow((static_cast<double>(height) - 1.0) / 2.0);
    const corner_geometry geometry{
        .top_left = radii.top_left,
        .top_right = radii.top_right,
        .bottom_left = radii.bottom_left,
        .bottom_right = radii.bottom_right,
        .center_x = center_x,
        .center_y = center_y,
        .half_w = center_x,
        .half_h = center_y,
    };
    const alpha_plane plane{views.alpha.data, views.alpha.strides[0], views.alpha.strides[1],
                            width, height};
    {
        detached nogil;
        // With a colour, edge pixels get coverage times its alpha (int32 -> float
        // rounds to nearest), as on a new filled surface; without one, their own
        // alpha is scaled by the coverage.
        if (has_color) {
            round_corners(plane, geometry, edge_rule::scaled, static_cast<float>(alpha_base));
        } else {
            round_corners(plane, geometry, edge_rule::kept, 0.0f);
        }
    }
    Py_RETURN_NONE;
}

}  // namespace fs
