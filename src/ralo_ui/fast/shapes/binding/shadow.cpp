// Soft shadows of rounded rectangles on new surfaces: the margin, the rasteriser and its cached front end.
#include "raster/shadow.hpp"
#include "convert.hpp"
#include "detach.hpp"
#include "draw_functions.hpp"
#include "host.hpp"
#include "pixel_view.hpp"
#include "raster/portable.hpp"

#include <cmath>
#include <cstdint>

namespace fs {
namespace {

// The largest side of a shadow surface: a row of 4-byte pixels must fit pygame's int pitch.
constexpr int64_t max_side = INT32_MAX / 4;

FS_COLD FS_NOINLINE bool bad_number(const char* what, double value) noexcept {
    ref v = ref::steal(PyFloat_FromDouble(value));
    if (v) PyErr_Format(PyExc_ValueError, "%s, not %R", what, v.get());
    return false;
}

// The margin of a shadow of `blur` and `spread`: ValueError for a negative or NaN blur, a
// spread that is not finite, or a margin past int32.
bool margin_of(double blur, double spread, int32_t& margin) noexcept {
    if (!(blur >= 0.0)) return bad_number("blur must be a number >= 0", blur);
    if (!std::isfinite(spread)) return bad_number("spread must be a finite number", spread);
    // Bounded first: the margin's own arithmetic needs a finite blur.
    if (!(blur <= static_cast<double>(INT32_MAX)) || shadow::margin(blur, spread) > static_cast<int64_t>(INT32_MAX)) {
        PyErr_SetString(PyExc_ValueError, "blur and spread give a shadow margin past 2147483647 pixels");
        return false;
    }
    margin = static_cast<int32_t>(shadow::margin(blur, spread));
    return true;
}

// The padded surface's size: ValueError for a negative size or a side past max_side.
bool padded_size(int32_t width, int32_t height, int32_t margin, int32_t& padded_w, int32_t& padded_h) noexcept {
    if (width < 0 || height < 0) {
        PyErr_Format(PyExc_ValueError, "shadow size must not be negative, not (%d, %d)", width, height);
        return false;
    }
    const int64_t w = int64_t{width} + 2 * int64_t{margin};
    const int64_t h = int64_t{height} + 2 * int64_t{margin};
    if (w > max_side || h > max_side) {
        PyErr_Format(PyExc_ValueError,
                     "a shadow of size (%d, %d) with a margin of %d would be a %lld x %lld surface: past the %lld "
                     "pixels a side a surface can have",
                     width, height, margin, static_cast<long long>(w), static_cast<long long>(h),
                     static_cast<long long>(max_side));
        return false;
    }
    padded_w = static_cast<int32_t>(w);
    padded_h = static_cast<int32_t>(h);
    return true;
}

// The entry: a new surface holding the shadow of the rounded rectangle of `size` and
// `radii_input`, grown by `spread` and blurred by a Gaussian of sigma blur / 2.
PyObject* shadow_surface(PyObject* size, PyObject* radii_input, double blur, PyObject* color, double spread) noexcept {
    int32_t margin = 0;
    if (!margin_of(blur, spread, margin)) return nullptr;
    int32_t width = 0, height = 0;
    if (!size_item(size, 0, width) || !size_item(size, 1, height)) return nullptr;
    corner_radii radii;
    if (!read_radii(radii_input, radii)) return nullptr;
    uint8_t rgba[4];
    if (!color_rgb(color, rgba) || !color_alpha_byte(color, rgba[3])) return nullptr;
    int32_t padded_w = 0, padded_h = 0;
    if (!padded_size(width, height, margin, padded_w, padded_h)) return nullptr;

    const shadow::params p = shadow::derive(width, height, radii, blur, spread, margin, rgba);
    ref surf = new_surface(nullptr, padded_w, padded_h);
    if (!surf) return nullptr;
    // The kernel writes every pixel, colour bytes and alpha, once (a blank shadow too: alpha 0).
    surface_views views;
    if (!views.acquire(surf.get()) || !views.fits(padded_w, padded_h)) return nullptr;
    const planes plane = views.as_planes(padded_w, padded_h);
    bool drawn = false;
    {
        detached nogil;
        drawn = shadow::draw(plane, p);
    }
    if (!drawn) return PyErr_NoMemory();  // the kernel's tables could not be made
    return surf.release();
}

}  // namespace

// ---- its published functions: each spec above its body ------------------------------------

namespace functions {
namespace {

using enum param_kind;

enum class margin_arg { blur, spread, count };
enum class shadow_arg { size, radii_input, blur, color, spread, count };

PyObject* margin_body(const call_args& a) noexcept;
PyObject* shadow_body(const call_args& a) noexcept;
PyObject* cached_shadow_body(const call_args& a) noexcept;
PyObject* create_shadow_body(const call_args& a) noexcept;

}  // namespace

// shadow_margin(blur, spread=0)
constexpr function_spec shadow_margin = described({
    .name = "shadow_margin",
    .params = {{"blur", float64}, {"spread", float64, true, 0}},
    .body = margin_body,
    .doc = "The margin a shadow surface has on every side of its shape: past it, every pixel of the\n"
           "shadow would have alpha 0.  ceil(1.5 * blur + max(spread, 0)).\n\n"
           "To put the shadow of a shape drawn at (x, y) under it, offset by (dx, dy):\n"
           "    m = shadow_margin(blur, spread)\n"
           "    screen.blit(shadow, (x - m + dx, y - m + dy))",
});

// _create_shadow_surface(size, radii_input, blur, color, spread=0): the rasteriser.
constexpr function_spec create_shadow_surface_raster = described({
    .name = "_create_shadow_surface",
    .params = {{"size", tuple_or_none},
               {"radii_input", any},
               {"blur", float64},
               {"color", tuple_or_none},
               {"spread", float64, true, 0}},
    .body = shadow_body,
    .doc = "A new SRCALPHA surface of (w + 2m, h + 2m), m = shadow_margin(blur, spread), holding the\n"
           "soft shadow of the rounded rectangle of size (w, h) placed at (m, m).\n\n"
           "radii_input: four radii (top-left, top-right, bottom-right, bottom-left), one number for\n"
           "all four, or a list.  blur: the blur radius, >= 0; the shadow is the shape blurred by a\n"
           "Gaussian of sigma blur / 2.  color: (r, g, b) or (r, g, b, a), each 0..255; every pixel\n"
           "has its red, green and blue, and alpha a times the blurred shape's average over the\n"
           "pixel.  spread: grows the shape (a negative one shrinks it) and its radii on every side.",
});

// _get_cached_shadow_surface(size, radii, blur, color, spread): the memoising function, under
// lru_cache.
constexpr function_spec get_cached_shadow_surface = described({
    .name = "_get_cached_shadow_surface",
    .params = {{"size", tuple_or_none},
               {"radii", tuple_or_none},
               {"blur", float64},
               {"color", tuple_or_none},
               {"spread", float64}},
    .body = cached_shadow_body,
    .doc = "The memoising function behind create_shadow_surface, under a 256-entry lru_cache.",
});

// create_shadow_surface(size, radii_input, blur, color, spread=0): the front end.
constexpr function_spec create_shadow_surface = described({
    .name = "create_shadow_surface",
    .params = {{"size", any}, {"radii_input", any}, {"blur", any}, {"color", any}, {"spread", any, true, 0}},
    .body = create_shadow_body,
    .doc = "_create_shadow_surface behind a 256-entry cache: equal arguments give the very same\n"
           "surface, which callers share and must not draw on.  A list of radii is taken as a tuple.",
});

namespace {

static_assert(names_all<shadow_margin, margin_arg>() && names_all<create_shadow_surface_raster, shadow_arg>() &&
              names_all<get_cached_shadow_surface, shadow_arg>() && names_all<create_shadow_surface, shadow_arg>());

PyObject* margin_body(const call_args& a) noexcept {
    constexpr const function_spec& S = shadow_margin;
    int32_t margin = 0;
    if (!margin_of(f64<S, margin_arg::blur>(a), f64<S, margin_arg::spread>(a), margin)) return nullptr;
    return PyLong_FromLong(margin);
}

using enum shadow_arg;

PyObject* shadow_body(const call_args& a) noexcept {
    constexpr const function_spec& S = create_shadow_surface_raster;
    return shadow_surface(obj<S, size>(a), obj<S, radii_input>(a), f64<S, blur>(a), obj<S, color>(a),
                          f64<S, spread>(a));
}

// The memoising function reaches the rasteriser directly, not through the namespace; a failure
// there names the rasteriser too.
PyObject* cached_shadow_body(const call_args& a) noexcept {
    constexpr const function_spec& S = get_cached_shadow_surface;
    PyObject* surf =
        shadow_surface(obj<S, size>(a), obj<S, radii_input>(a), f64<S, blur>(a), obj<S, color>(a), f64<S, spread>(a));
    if (surf == nullptr) add_traceback(create_shadow_surface_raster);
    return surf;
}

// The front end looks the memoising function up afresh and calls it by position, a list of
// radii as a tuple and a left-out spread as 0.
PyObject* create_shadow_body(const call_args& a) noexcept {
    constexpr const function_spec& S = create_shadow_surface;
    PyObject* radii = obj<S, radii_input>(a);
    ref as_tuple;
    if (!hashable_radii(radii, as_tuple)) return nullptr;
    ref zero;
    PyObject* spread_given = obj<S, spread>(a);
    if (spread_given == nullptr) {  // left out
        zero = ref::steal(PyLong_FromLong(0));
        if (!zero) return nullptr;
        spread_given = zero.get();
    }
    PyObject* args[] = {obj<S, size>(a), radii, obj<S, blur>(a), obj<S, color>(a), spread_given};
    return call_global(st.cached_shadow, args, 5);
}

}  // namespace
}  // namespace functions
}  // namespace fs
