// The argument binder: function specs, binding and conversion of a call's arguments, and the bodies' typed access.
#pragma once

#include <Python.h>

#include "py_compat.hpp"

#include <cstdint>

namespace fs {

inline constexpr int max_params = 5;

// What the binder does with a parameter before the body runs.
enum class param_kind : uint8_t {
    any,            // passed on as it comes
    tuple_or_none,  // exactly the built-in tuple, or None
    int32,          // the integer conversion
    float32,        // the float conversion
};

struct param {
    const char* name;
    param_kind kind;
};

// The bound and converted arguments of one call.  `obj` holds borrowed
// references (a missing optional argument is None); `i32` and `f32` hold the
// converted values of int32 and float32 parameters at the same positions.
struct call_args {
    PyObject* obj[max_params];
    int32_t i32[max_params];
    float f32[max_params];
};

using body_fn = PyObject* (*)(const call_args& args) noexcept;

struct function_spec {
    const char* name;
    param params[max_params];
    int param_count;
    int required;  // parameters after these default to None
    body_fn body;
    int line;  // the line its code object and traceback entries name: its place among the functions
};

// A spec whose counts fit its parameters; each definition is checked with it.
constexpr bool well_formed(const function_spec& s) noexcept {
    return 0 <= s.required && s.required <= s.param_count && s.param_count <= max_params && s.line >= 1;
}

// A body's access to argument I of a call bound by spec S, checked against the spec when
// the body is compiled: obj for any parameter, i32 and f32 only for int32 and float32 ones.
template <const function_spec& S, int I>
PyObject* obj(const call_args& a) noexcept {
    static_assert(0 <= I && I < S.param_count, "no such parameter");
    return a.obj[I];
}
template <const function_spec& S, int I>
int32_t i32(const call_args& a) noexcept {
    static_assert(0 <= I && I < S.param_count && S.params[I].kind == param_kind::int32, "not an int32 parameter");
    return a.i32[I];
}
template <const function_spec& S, int I>
float f32(const call_args& a) noexcept {
    static_assert(0 <= I && I < S.param_count && S.params[I].kind == param_kind::float32, "not a float32 parameter");
    return a.f32[I];
}

// Binds a vectorcall's arguments to `s`'s parameters (whose interned names are `names`),
// converts the int32 and float32 ones and checks the tuple ones, in parameter order, with
// the exact messages.  False with the error set.
bool bind_call(const function_spec& s, PyObject* const* names, PyObject* const* args, Py_ssize_t nargs,
               PyObject* kwnames, call_args& a) noexcept;

}  // namespace fs
