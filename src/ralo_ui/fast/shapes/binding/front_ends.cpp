// The eight published functions: the rasterisers' Python entries, the memoising functions and the front ends.
#include "functions.hpp"

#include "host.hpp"
#include "ref.hpp"
#include "shapes.hpp"

namespace fs::functions {
namespace {

using enum param_kind;

// ---- rasterisers ----------------------------------------------------------------------------

PyObject* outlined_body(const call_args& a) noexcept { return outlined_surface(a.obj[0], a.i32[1], a.f32[2], a.obj[3]); }
PyObject* filled_body(const call_args& a) noexcept { return filled_surface(a.obj[0], a.obj[1], a.obj[2]); }
PyObject* outline_in_place_body(const call_args& a) noexcept {
    return outline_in_place(a.obj[0], a.obj[1], a.f32[2], a.obj[3], a.obj[4]);
}
PyObject* round_in_place_body(const call_args& a) noexcept { return round_in_place(a.obj[0], a.obj[1], a.obj[2]); }

// ---- memoising functions: they reach their rasteriser directly, not through the namespace ---

PyObject* cached_filled_body(const call_args& a) noexcept {
    PyObject* surf = filled_surface(a.obj[0], a.obj[1], a.obj[2]);
    if (surf == nullptr) add_traceback(create_rounded_rect_surface_optimized);
    return surf;
}

PyObject* cached_outlined_body(const call_args& a) noexcept {
    PyObject* surf = outlined_surface(a.obj[0], a.i32[1], a.f32[2], a.obj[3]);
    if (surf == nullptr) add_traceback(create_outlined_rounded_rect_sdf_raster);
    return surf;
}

// ---- front ends: look the caching wrapper up afresh and call it by position ----------------

PyObject* call_global(PyObject* name, PyObject* const* args, size_t nargs) noexcept {
    ref target = get_global(name);
    if (!target) return nullptr;
    return PyObject_Vectorcall(target.get(), args, nargs, nullptr);
}

PyObject* create_filled_body(const call_args& a) noexcept {
    PyObject* radii = a.obj[1];
    ref as_tuple;
    if (PyList_Check(radii)) {  // a list could be neither hashed nor accepted as radii
        as_tuple = ref::steal(PyList_AsTuple(radii));
        if (!as_tuple) return nullptr;
        radii = as_tuple.get();
    }
    PyObject* args[] = {a.obj[0], radii, a.obj[2]};
    return call_global(st.cached_filled, args, 3);
}

PyObject* create_outlined_body(const call_args& a) noexcept {
    return call_global(st.cached_outlined, a.obj, 4);
}

}  // namespace

// The line numbers only tell the functions' traceback entries apart.
const function_spec create_outlined_rounded_rect_sdf_raster = {
    "_create_outlined_rounded_rect_sdf",
    {{"size", tuple_or_none}, {"radius", int32}, {"width", float32}, {"color", tuple_or_none}},
    4, 4, outlined_body, 1};
const function_spec create_rounded_rect_surface_optimized = {
    "_create_rounded_rect_surface_optimized",
    {{"size", tuple_or_none}, {"radii_input", any}, {"color", tuple_or_none}},
    3, 3, filled_body, 2};
const function_spec transform_into_outlined_rounded_rect = {
    "transform_into_outlined_rounded_rect",
    {{"surf", any}, {"radii_input", any}, {"stroke_width", float32}, {"color", tuple_or_none},
     {"background_color", any}},
    5, 4, outline_in_place_body, 3};
const function_spec transform_into_rounded_rect = {
    "transform_into_rounded_rect",
    {{"surf", any}, {"radii_input", any}, {"color", any}},
    3, 2, round_in_place_body, 4};
const function_spec get_cached_rounded_rect_surface = {
    "_get_cached_rounded_rect_surface",
    {{"size", tuple_or_none}, {"radii", tuple_or_none}, {"color", tuple_or_none}},
    3, 3, cached_filled_body, 5};
const function_spec create_rounded_rect_surface = {
    "create_rounded_rect_surface",
    {{"size", any}, {"radii_input", any}, {"color", any}},
    3, 3, create_filled_body, 6};
const function_spec get_cached_outlined_rounded_rect_sdf = {
    "_get_cached_outlined_rounded_rect_sdf",
    {{"size", tuple_or_none}, {"radius", int32}, {"width", float32}, {"color", tuple_or_none}},
    4, 4, cached_outlined_body, 7};
const function_spec create_outlined_rounded_rect_sdf = {
    "create_outlined_rounded_rect_sdf",
    {{"size", any}, {"radius", any}, {"width", any}, {"color", any}},
    4, 4, create_outlined_body, 8};

}  // namespace fs::functions
