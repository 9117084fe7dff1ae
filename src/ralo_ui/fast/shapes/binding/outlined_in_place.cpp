// transform_into_outlined_rounded_rect: draws an anti-aliased outline over a caller's surface in place.
#include "raster/outlined_in_place.hpp"
#include "convert.hpp"
#include "detach.hpp"
#include "fast_shapes_functions.hpp"
#include "host.hpp"
#include "pixel_view.hpp"

namespace fs {
namespace {

// bg[0], bg[1], bg[2] by indexing, then bg[3] if len(bg) > 3 (else 255), all as unsigned bytes.
bool read_background(PyObject* bg, uint8_t out[4]) noexcept {
    return color_rgb(bg, out) && color_alpha_byte(bg, out[3]);
}

// The entry: draws an outline over `surf` in place, optionally over a background; returns None.
PyObject* outline_in_place(PyObject* surf, PyObject* radii_input, float stroke_width, PyObject* color,
                           PyObject* background_color) noexcept {
    int32_t w, h;
    if (!surface_size(surf, w, h)) return nullptr;
    corner_radii radii;
    if (!read_radii(radii_input, radii)) return nullptr;
    // The colour's items are read by position: refuse a short tuple before the
    // surface is locked, with the message indexing it would give.  None goes on
    // to fail at its len() below.
    if (color != Py_None && PyTuple_GET_SIZE(color) < 3) {
        PyErr_SetString(PyExc_IndexError, "tuple index out of range");
        return nullptr;
    }

    surface_views views;
    if (!views.acquire(surf) || !views.fits(w, h)) return nullptr;

    int32_t alpha_base;
    uint8_t rgb[3];
    if (!color_alpha(color, alpha_base) || !color_rgb(color, rgb)) return nullptr;

    const bool has_bg = background_color != nullptr && background_color != Py_None;
    uint8_t background[4] = {0, 0, 0, 0};
    if (has_bg) {
        if (!read_background(background_color, background)) return nullptr;
    } else if (alpha_base == 0) {
        Py_RETURN_NONE;  // nothing to draw: every pixel stays as it is, corners included
    }
    if (w <= 0 || h <= 0) Py_RETURN_NONE;  // no pixel to visit, however many empty rows there are

    const outlined_in_place::params p =
        outlined_in_place::derive(w, h, radii, stroke_width, alpha_base, rgb, background);
    const planes pl = views.as_planes(w, h);
    {
        detached nogil;
        outlined_in_place::draw(p, has_bg, pl);
    }
    Py_RETURN_NONE;
}

}  // namespace

// ---- its published function: the spec above its body --------------------------------------

namespace functions {
namespace {

using enum param_kind;

enum class outline_arg { surf, radii_input, stroke_width, color, background_color, count };

PyObject* outline_in_place_body(const call_args& a) noexcept;

}  // namespace

// transform_into_outlined_rounded_rect(surf, radii_input, stroke_width, color, background_color=None)
constexpr function_spec transform_into_outlined_rounded_rect = described({
    .name = "transform_into_outlined_rounded_rect",
    .params = {{"surf", any},
               {"radii_input", any},
               {"stroke_width", float32},
               {"color", tuple_or_none},
               {"background_color", any, true}},
    .body = outline_in_place_body,
});

namespace {

using enum outline_arg;
static_assert(names_all<transform_into_outlined_rounded_rect, outline_arg>());

PyObject* outline_in_place_body(const call_args& a) noexcept {
    constexpr const function_spec& S = transform_into_outlined_rounded_rect;
    return outline_in_place(obj<S, surf>(a), obj<S, radii_input>(a), f32<S, stroke_width>(a), obj<S, color>(a),
                            obj<S, background_color>(a));
}

}  // namespace
}  // namespace functions
}  // namespace fs
