// Cuts the corners of a caller's surface in place, optionally filling it with a colour first.
#include "convert.hpp"
#include "detach.hpp"
#include "fast_shapes_functions.hpp"
#include "host.hpp"
#include "pixel_view.hpp"
#include "raster/corners.hpp"
#include "raster/geometry.hpp"

namespace fs {
namespace {

// What is left after the colour is checked and the surface filled.
enum class after_fill { cut, done, failed };

// Checks the colour whole before anything is filled (its red, green and blue reach the
// pixels only through fill()), then fills: with the colour, or transparent black for an
// alpha of 0 when corners are cut (nothing is left to cut then).
after_fill fill_first(PyObject* surf, PyObject* color, bool cuts, int32_t& alpha_base) noexcept {
    uint8_t rgb[3];
    if (!color_alpha(color, alpha_base) || !color_rgb(color, rgb)) return after_fill::failed;
    if (!cuts) return fill(surf, color) ? after_fill::done : after_fill::failed;
    if (alpha_base == 0) return fill(surf, st.transparent) ? after_fill::done : after_fill::failed;
    return fill(surf, color) ? after_fill::cut : after_fill::failed;
}

// The entry: cuts the corners of `surf` in place, optionally filling it with `color` first;
// returns None.
PyObject* round_in_place(PyObject* surf, PyObject* radii_input, PyObject* color) noexcept {
    int32_t width = 0, height = 0;
    if (!surface_size(surf, width, height)) return nullptr;
    corner_radii radii;
    if (!read_radii(radii_input, radii)) return nullptr;

    radii = bounded_in_place(width, height, radii);
    const bool cuts = any_corner(radii);

    const bool has_color = color != nullptr && color != Py_None;
    int32_t alpha_base = 0;
    if (!has_color) {
        if (!cuts) Py_RETURN_NONE;  // nothing to cut: the surface is not even locked
    } else {
        const after_fill next = fill_first(surf, color, cuts, alpha_base);
        if (next == after_fill::failed) return nullptr;
        if (next == after_fill::done) Py_RETURN_NONE;
    }

    // `surf` is any object: the size it reported must be covered by its alpha
    // view before a corner is cut (the colour view is held but never touched).
    surface_views views;
    if (!views.acquire(surf) || !views.alpha_fits(width, height)) return nullptr;

    const corner_geometry geometry = in_place_geometry(width, height, radii);
    const planes plane = views.as_planes(width, height);
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

}  // namespace

// ---- its published function: the spec above its body --------------------------------------

namespace functions {
namespace {

using enum param_kind;

enum class round_arg { surf, radii_input, color, count };

PyObject* round_in_place_body(const call_args& a) noexcept;

}  // namespace

// transform_into_rounded_rect(surf, radii_input, color=None)
constexpr function_spec transform_into_rounded_rect = described({
    .name = "transform_into_rounded_rect",
    .params = {{"surf", any}, {"radii_input", any}, {"color", any, true}},
    .body = round_in_place_body,
});

namespace {

using enum round_arg;
static_assert(names_all<transform_into_rounded_rect, round_arg>());

PyObject* round_in_place_body(const call_args& a) noexcept {
    constexpr const function_spec& S = transform_into_rounded_rect;
    return round_in_place(obj<S, surf>(a), obj<S, radii_input>(a), obj<S, color>(a));
}

}  // namespace
}  // namespace functions
}  // namespace fs
