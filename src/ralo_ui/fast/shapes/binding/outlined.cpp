// New transparent surface holding the outline of a rounded rectangle: solid edge bands plus
// anti-aliased corner squares from the signed distance to the stroke's centre line.
//
// Arguments the drawing was not made for, and what becomes of them:
//  - `size` with fewer than two items: IndexError from indexing, before any surface exists.
//    A colour with fewer than three items fails the same way when its red, green and blue
//    are read (after the surface was made, like every colour error).
//  - A negative radius, or a width whose ceiling exceeds the surface (+inf included): the
//    bands are clipped to the surface (the corner squares never leave it, being at most
//    half of each side).  Every pixel inside gets exactly what the rule gives it and
//    nothing outside is touched: a stroke wider than the surface
//    turns each band into a slab across the whole surface, and a negative radius lets
//    the bands run on to the surface's edges.
//  - A NaN width: no band (its ceiling counts as 0) and the distance test rejects every
//    corner pixel, so the surface comes back fully transparent, as for a width of -1 or
//    less (-inf included).
//  - A radius of 2^30 or more: 2 x radius is formed in 64 bits, so the clamp to half the
//    surface holds for every radius.
// Integer geometry is done in 64 bits throughout, so none of these can overflow.
#include "raster/outlined.hpp"
#include "convert.hpp"
#include "detach.hpp"
#include "fast_shapes_functions.hpp"
#include "host.hpp"
#include "pixel_view.hpp"

namespace fs {
namespace {

// The entry: a new transparent surface of `size` with an outline of `width` and one corner
// `radius`.
PyObject* outlined_surface(PyObject* size, int32_t radius, float width, PyObject* color) noexcept {
    // None fails its first indexing: "'NoneType' object is not subscriptable".
    int32_t w = 0, h = 0;
    if (!size_item(size, 0, w) || !size_item(size, 1, h)) return nullptr;

    ref surf = new_surface(size, w, h);
    if (!surf || !fill(surf.get(), st.transparent)) return nullptr;
    surface_views views;
    if (!views.acquire(surf.get()) || !views.fits(w, h)) return nullptr;

    int32_t alpha_base = 255;
    if (!color_alpha(color, alpha_base)) return nullptr;
    if (alpha_base == 0) return surf.release();  // fully transparent: rgb is never read
    uint8_t rgb[3];
    if (!color_rgb(color, rgb)) return nullptr;

    outlined::params p = outlined::derive(w, h, radius, width, alpha_base, rgb);
    const outlined::target t = outlined::bind(views.as_planes(w, h), p);
    {
        detached nogil;
        outlined::draw_bands(t, p);
    }
    // Two detached stretches, as long as each loop.
    if (p.box > 0) {
        detached nogil;
        outlined::draw_corners(t, p);
    }
    return surf.release();
}

}  // namespace

// ---- its published functions: each spec above its body ------------------------------------

namespace functions {
namespace {

using enum param_kind;

// The parameters of all three, by position.
enum class outlined_arg { size, radius, width, color, count };

PyObject* outlined_body(const call_args& a) noexcept;
PyObject* cached_outlined_body(const call_args& a) noexcept;
PyObject* create_outlined_body(const call_args& a) noexcept;

}  // namespace

// _create_outlined_rounded_rect_sdf(size, radius, width, color): the rasteriser.
constexpr function_spec create_outlined_rounded_rect_sdf_raster = described({
    .name = "_create_outlined_rounded_rect_sdf",
    .params = {{"size", tuple_or_none}, {"radius", int32}, {"width", float32}, {"color", tuple_or_none}},
    .body = outlined_body,
});

// _get_cached_outlined_rounded_rect_sdf(size, radius, width, color): the memoising function,
// under lru_cache.
constexpr function_spec get_cached_outlined_rounded_rect_sdf = described({
    .name = "_get_cached_outlined_rounded_rect_sdf",
    .params = {{"size", tuple_or_none}, {"radius", int32}, {"width", float32}, {"color", tuple_or_none}},
    .body = cached_outlined_body,
});

// create_outlined_rounded_rect_sdf(size, radius, width, color): the front end.
constexpr function_spec create_outlined_rounded_rect_sdf = described({
    .name = "create_outlined_rounded_rect_sdf",
    .params = {{"size", any}, {"radius", any}, {"width", any}, {"color", any}},
    .body = create_outlined_body,
});

namespace {

using enum outlined_arg;
static_assert(names_all<create_outlined_rounded_rect_sdf_raster, outlined_arg>() &&
              names_all<get_cached_outlined_rounded_rect_sdf, outlined_arg>() &&
              names_all<create_outlined_rounded_rect_sdf, outlined_arg>());

PyObject* outlined_body(const call_args& a) noexcept {
    constexpr const function_spec& S = create_outlined_rounded_rect_sdf_raster;
    return outlined_surface(obj<S, size>(a), i32<S, radius>(a), f32<S, width>(a), obj<S, color>(a));
}

// The memoising function reaches the rasteriser directly, not through the namespace; a failure
// there names the rasteriser too.
PyObject* cached_outlined_body(const call_args& a) noexcept {
    constexpr const function_spec& S = get_cached_outlined_rounded_rect_sdf;
    PyObject* surf = outlined_surface(obj<S, size>(a), i32<S, radius>(a), f32<S, width>(a), obj<S, color>(a));
    if (surf == nullptr) add_traceback(create_outlined_rounded_rect_sdf_raster);
    return surf;
}

// The front end looks the memoising function up afresh and calls it by position, with all four
// arguments as they came.
PyObject* create_outlined_body(const call_args& a) noexcept {
    return call_global(st.cached_outlined, a.obj, static_cast<size_t>(outlined_arg::count));
}

}  // namespace
}  // namespace functions
}  // namespace fs
