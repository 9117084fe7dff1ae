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
#include "host.hpp"
#include "pixel_view.hpp"
#include "published.hpp"

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

// ---- its published functions: each spec beside its body ------------------------------------

namespace functions {
namespace {

using enum param_kind;

template <const function_spec& S>
PyObject* outlined_body(const call_args& a) noexcept {
    return outlined_surface(obj<S, 0>(a), i32<S, 1>(a), f32<S, 2>(a), obj<S, 3>(a));
}

// The memoising function reaches the rasteriser directly, not through the namespace.
template <const function_spec& S>
PyObject* cached_outlined_body(const call_args& a) noexcept {
    PyObject* surf = outlined_surface(obj<S, 0>(a), i32<S, 1>(a), f32<S, 2>(a), obj<S, 3>(a));
    if (surf == nullptr) add_traceback(create_outlined_rounded_rect_sdf_raster);
    return surf;
}

// The front end looks the memoising function up afresh and calls it by position.
template <const function_spec& S>
PyObject* create_outlined_body(const call_args& a) noexcept {
    static_assert(S.param_count == 4, "all four passed on");
    return call_global(st.cached_outlined, a.obj, 4);
}

}  // namespace

constexpr function_spec create_outlined_rounded_rect_sdf_raster = {
    .name = "_create_outlined_rounded_rect_sdf",
    .params = {{"size", tuple_or_none}, {"radius", int32}, {"width", float32}, {"color", tuple_or_none}},
    .param_count = 4,
    .required = 4,
    .body = outlined_body<create_outlined_rounded_rect_sdf_raster>,
    .line = 1,
};
constexpr function_spec get_cached_outlined_rounded_rect_sdf = {
    .name = "_get_cached_outlined_rounded_rect_sdf",
    .params = {{"size", tuple_or_none}, {"radius", int32}, {"width", float32}, {"color", tuple_or_none}},
    .param_count = 4,
    .required = 4,
    .body = cached_outlined_body<get_cached_outlined_rounded_rect_sdf>,
    .line = 7,
};
constexpr function_spec create_outlined_rounded_rect_sdf = {
    .name = "create_outlined_rounded_rect_sdf",
    .params = {{"size", any}, {"radius", any}, {"width", any}, {"color", any}},
    .param_count = 4,
    .required = 4,
    .body = create_outlined_body<create_outlined_rounded_rect_sdf>,
    .line = 8,
};
static_assert(well_formed(create_outlined_rounded_rect_sdf_raster) &&
              well_formed(get_cached_outlined_rounded_rect_sdf) && well_formed(create_outlined_rounded_rect_sdf));

}  // namespace functions
}  // namespace fs
