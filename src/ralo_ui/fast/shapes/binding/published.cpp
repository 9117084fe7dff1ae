// The eight published functions: the rasterisers' Python entries, the memoising functions and the front ends.
#include "published.hpp"

#include "host.hpp"
#include "ref.hpp"
#include "shapes.hpp"
#include "state.hpp"

namespace fs::functions {
namespace {

using enum param_kind;

// ---- rasterisers ----------------------------------------------------------------------------

template <const function_spec& S>
PyObject* outlined_body(const call_args& a) noexcept {
    return outlined_surface(obj<S, 0>(a), i32<S, 1>(a), f32<S, 2>(a), obj<S, 3>(a));
}
template <const function_spec& S>
PyObject* filled_body(const call_args& a) noexcept {
    return filled_surface(obj<S, 0>(a), obj<S, 1>(a), obj<S, 2>(a));
}
template <const function_spec& S>
PyObject* outline_in_place_body(const call_args& a) noexcept {
    return outline_in_place(obj<S, 0>(a), obj<S, 1>(a), f32<S, 2>(a), obj<S, 3>(a), obj<S, 4>(a));
}
template <const function_spec& S>
PyObject* round_in_place_body(const call_args& a) noexcept {
    return round_in_place(obj<S, 0>(a), obj<S, 1>(a), obj<S, 2>(a));
}

// ---- memoising functions: they reach their rasteriser directly, not through the namespace ---

template <const function_spec& S>
PyObject* cached_filled_body(const call_args& a) noexcept {
    PyObject* surf = filled_surface(obj<S, 0>(a), obj<S, 1>(a), obj<S, 2>(a));
    if (surf == nullptr) add_traceback(create_rounded_rect_surface_optimized);
    return surf;
}

template <const function_spec& S>
PyObject* cached_outlined_body(const call_args& a) noexcept {
    PyObject* surf = outlined_surface(obj<S, 0>(a), i32<S, 1>(a), f32<S, 2>(a), obj<S, 3>(a));
    if (surf == nullptr) add_traceback(create_outlined_rounded_rect_sdf_raster);
    return surf;
}

// ---- front ends: look the caching wrapper up afresh and call it by position ----------------

PyObject* call_global(PyObject* name, PyObject* const* args, size_t nargs) noexcept {
    ref target = get_global(name);
    if (!target) return nullptr;
    return PyObject_Vectorcall(target.get(), args, nargs, nullptr);
}

template <const function_spec& S>
PyObject* create_filled_body(const call_args& a) noexcept {
    PyObject* radii = obj<S, 1>(a);
    ref as_tuple;
    if (PyList_Check(radii)) {  // a list could be neither hashed nor accepted as radii
        as_tuple = ref::steal(PyList_AsTuple(radii));
        if (!as_tuple) return nullptr;
        radii = as_tuple.get();
    }
    PyObject* args[] = {obj<S, 0>(a), radii, obj<S, 2>(a)};
    return call_global(st.cached_filled, args, 3);
}

template <const function_spec& S>
PyObject* create_outlined_body(const call_args& a) noexcept {
    static_assert(S.param_count == 4, "all four passed on");
    return call_global(st.cached_outlined, a.obj, 4);
}

}  // namespace

// The line numbers only tell the functions' traceback entries apart.
constexpr function_spec create_outlined_rounded_rect_sdf_raster = {
    .name = "_create_outlined_rounded_rect_sdf",
    .params = {{"size", tuple_or_none}, {"radius", int32}, {"width", float32}, {"color", tuple_or_none}},
    .param_count = 4,
    .required = 4,
    .body = outlined_body<create_outlined_rounded_rect_sdf_raster>,
    .line = 1,
};
constexpr function_spec create_rounded_rect_surface_optimized = {
    .name = "_create_rounded_rect_surface_optimized",
    .params = {{"size", tuple_or_none}, {"radii_input", any}, {"color", tuple_or_none}},
    .param_count = 3,
    .required = 3,
    .body = filled_body<create_rounded_rect_surface_optimized>,
    .line = 2,
};
constexpr function_spec transform_into_outlined_rounded_rect = {
    .name = "transform_into_outlined_rounded_rect",
    .params = {{"surf", any},
               {"radii_input", any},
               {"stroke_width", float32},
               {"color", tuple_or_none},
               {"background_color", any}},
    .param_count = 5,
    .required = 4,
    .body = outline_in_place_body<transform_into_outlined_rounded_rect>,
    .line = 3,
};
constexpr function_spec transform_into_rounded_rect = {
    .name = "transform_into_rounded_rect",
    .params = {{"surf", any}, {"radii_input", any}, {"color", any}},
    .param_count = 3,
    .required = 2,
    .body = round_in_place_body<transform_into_rounded_rect>,
    .line = 4,
};
constexpr function_spec get_cached_rounded_rect_surface = {
    .name = "_get_cached_rounded_rect_surface",
    .params = {{"size", tuple_or_none}, {"radii", tuple_or_none}, {"color", tuple_or_none}},
    .param_count = 3,
    .required = 3,
    .body = cached_filled_body<get_cached_rounded_rect_surface>,
    .line = 5,
};
constexpr function_spec create_rounded_rect_surface = {
    .name = "create_rounded_rect_surface",
    .params = {{"size", any}, {"radii_input", any}, {"color", any}},
    .param_count = 3,
    .required = 3,
    .body = create_filled_body<create_rounded_rect_surface>,
    .line = 6,
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

// Traceback entries keep one code object per function, found by its line number.
constexpr const function_spec* published[] = {
    &create_outlined_rounded_rect_sdf_raster, &create_rounded_rect_surface_optimized,
    &transform_into_outlined_rounded_rect,    &transform_into_rounded_rect,
    &get_cached_rounded_rect_surface,         &create_rounded_rect_surface,
    &get_cached_outlined_rounded_rect_sdf,    &create_outlined_rounded_rect_sdf,
};
constexpr bool one_code_object_each() noexcept {
    for (const function_spec* a : published) {
        if (a->line < 1 || a->line >= traceback_slots) return false;
        for (const function_spec* b : published)
            if (a != b && a->line == b->line) return false;
    }
    return true;
}
static_assert(one_code_object_each(), "two functions would share a traceback code object");

constexpr bool counts_fit() noexcept {
    for (const function_spec* s : published)
        if (s->param_count > max_params || s->required > s->param_count) return false;
    return true;
}
static_assert(counts_fit(), "a spec's parameter counts do not fit its parameters");

}  // namespace fs::functions
