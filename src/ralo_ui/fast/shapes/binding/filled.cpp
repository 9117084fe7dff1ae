// A new surface filled with one colour, its corners rounded with anti-aliased edges.
#include "convert.hpp"
#include "detach.hpp"
#include "fast_shapes_functions.hpp"
#include "host.hpp"
#include "pixel_view.hpp"
#include "raster/corners.hpp"
#include "raster/geometry.hpp"

namespace fs {
namespace {

// The entry: a new surface of `size`, filled with `color`, its corners rounded with per-corner
// radii.
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
    if (!color_alpha(color, alpha_base)) return nullptr;
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

}  // namespace

// ---- its published functions: each spec above its body ------------------------------------

namespace functions {
namespace {

using enum param_kind;

// The parameters of all three, by position.
enum class filled_arg { size, radii_input, color, count };

PyObject* filled_body(const call_args& a) noexcept;
PyObject* cached_filled_body(const call_args& a) noexcept;
PyObject* create_filled_body(const call_args& a) noexcept;

}  // namespace

// _create_rounded_rect_surface_optimized(size, radii_input, color): the rasteriser.
constexpr function_spec create_rounded_rect_surface_optimized = described({
    .name = "_create_rounded_rect_surface_optimized",
    .params = {{"size", tuple_or_none}, {"radii_input", any}, {"color", tuple_or_none}},
    .body = filled_body,
});

// _get_cached_rounded_rect_surface(size, radii, color): the memoising function, under lru_cache.
constexpr function_spec get_cached_rounded_rect_surface = described({
    .name = "_get_cached_rounded_rect_surface",
    .params = {{"size", tuple_or_none}, {"radii", tuple_or_none}, {"color", tuple_or_none}},
    .body = cached_filled_body,
});

// create_rounded_rect_surface(size, radii_input, color): the front end.
constexpr function_spec create_rounded_rect_surface = described({
    .name = "create_rounded_rect_surface",
    .params = {{"size", any}, {"radii_input", any}, {"color", any}},
    .body = create_filled_body,
});

namespace {

using enum filled_arg;
static_assert(names_all<create_rounded_rect_surface_optimized, filled_arg>() &&
              names_all<get_cached_rounded_rect_surface, filled_arg>() &&
              names_all<create_rounded_rect_surface, filled_arg>());

PyObject* filled_body(const call_args& a) noexcept {
    constexpr const function_spec& S = create_rounded_rect_surface_optimized;
    return filled_surface(obj<S, size>(a), obj<S, radii_input>(a), obj<S, color>(a));
}

// The memoising function reaches the rasteriser directly, not through the namespace; a failure
// there names the rasteriser too.
PyObject* cached_filled_body(const call_args& a) noexcept {
    constexpr const function_spec& S = get_cached_rounded_rect_surface;
    PyObject* surf = filled_surface(obj<S, size>(a), obj<S, radii_input>(a), obj<S, color>(a));
    if (surf == nullptr) add_traceback(create_rounded_rect_surface_optimized);
    return surf;
}

// The front end looks the memoising function up afresh and calls it by position.
PyObject* create_filled_body(const call_args& a) noexcept {
    constexpr const function_spec& S = create_rounded_rect_surface;
    PyObject* radii = obj<S, radii_input>(a);
    ref as_tuple;
    if (!hashable_radii(radii, as_tuple)) return nullptr;
    PyObject* args[] = {obj<S, size>(a), radii, obj<S, color>(a)};
    return call_global(st.cached_filled, args, 3);
}

}  // namespace
}  // namespace functions
}  // namespace fs
