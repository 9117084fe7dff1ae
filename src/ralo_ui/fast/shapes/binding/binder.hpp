// The argument binder: function specs, binding and conversion of a call's arguments, and the bodies' typed access.
#pragma once

#include <Python.h>

#include "py_compat.hpp"

#include <cstdint>

namespace fs {

inline constexpr int max_params = 10;

// What the binder does with a parameter before the body runs.
enum class param_kind : uint8_t {
    any,            // passed on as it comes
    tuple_or_none,  // exactly the built-in tuple, or None
    int32,          // the integer conversion
    float32,        // the float conversion, rounded to single precision
    float64,        // the float conversion
};

// A parameter without a number to fall back on.
inline constexpr int32_t no_fallback = INT32_MIN;

struct param {
    const char* name;
    param_kind kind;
    bool optional = false;           // may be left out
    int32_t fallback = no_fallback;  // what a left-out one stands for, and its default in the signature
};

// A left-out parameter as the binder passes it on: None where it has no number to fall back
// on; nullptr otherwise, which a numeric conversion takes as the fallback and an object
// parameter's body must handle itself.
inline PyObject* left_out(const param& p) noexcept { return p.fallback == no_fallback ? Py_None : nullptr; }

// The bound and converted arguments of one call.  `obj` holds borrowed references (a left-out
// object parameter is None); `i32`, `f32` and `f64` hold the converted values of the numeric
// parameters at the same positions.
struct call_args {
    PyObject* obj[max_params];
    int32_t i32[max_params];
    float f32[max_params];
    double f64[max_params];
};

using body_fn = PyObject* (*)(const call_args& args) noexcept;

// A published function: its name, parameters and body, and (for the modules that publish them)
// its docstring.  Write the name, params, body and doc; `described` derives the counts.  Where
// the function stands in its module's table gives its traceback line (module.hpp).
struct function_spec {
    const char* name;
    param params[max_params];
    body_fn body;
    const char* doc = nullptr;
    int param_count = 0;   // derived: the named parameters
    int required = 0;      // derived: the parameters before the first optional one
    uint32_t numbers = 0;  // derived: a bit per int32, float32 or float64 parameter
    uint32_t tuples = 0;   // derived: a bit per tuple_or_none parameter
};

consteval function_spec described(function_spec s) {
    while (s.param_count < max_params && s.params[s.param_count].name != nullptr) ++s.param_count;
    while (s.required < s.param_count && !s.params[s.required].optional) ++s.required;
    for (int i = 0; i < s.param_count; ++i) {
        const param_kind k = s.params[i].kind;
        if (k == param_kind::tuple_or_none) s.tuples |= 1u << i;
        if (k != param_kind::any && k != param_kind::tuple_or_none) s.numbers |= 1u << i;
    }
    for (int i = s.required; i < s.param_count; ++i) {
        if (!s.params[i].optional) throw "a required parameter after an optional one";
        if (s.params[i].kind != param_kind::any && s.params[i].kind != param_kind::tuple_or_none &&
            s.params[i].fallback == no_fallback)
            throw "an optional number needs a fallback";
    }
    return s;
}

// A body's access to argument I (an enumerator of the function's own parameter enum, in the
// spec's order) of a call bound by spec S, checked against the spec when the body is compiled:
// obj for any parameter, i32, f32 and f64 only for parameters of that kind.
template <const function_spec& S, auto I>
constexpr int position() noexcept {
    constexpr int i = static_cast<int>(I);
    static_assert(0 <= i && i < S.param_count, "no such parameter");
    return i;
}
template <const function_spec& S, auto I>
PyObject* obj(const call_args& a) noexcept {
    return a.obj[position<S, I>()];
}
template <const function_spec& S, auto I>
int32_t i32(const call_args& a) noexcept {
    static_assert(S.params[position<S, I>()].kind == param_kind::int32, "not an int32 parameter");
    return a.i32[position<S, I>()];
}
template <const function_spec& S, auto I>
float f32(const call_args& a) noexcept {
    static_assert(S.params[position<S, I>()].kind == param_kind::float32, "not a float32 parameter");
    return a.f32[position<S, I>()];
}
template <const function_spec& S, auto I>
double f64(const call_args& a) noexcept {
    static_assert(S.params[position<S, I>()].kind == param_kind::float64, "not a float64 parameter");
    return a.f64[position<S, I>()];
}

// A parameter enum E whose last enumerator is `count` names exactly S's parameters.
template <const function_spec& S, class E>
constexpr bool names_all() noexcept {
    return static_cast<int>(E::count) == S.param_count;
}

// Binds a vectorcall's arguments to `s`'s parameters (whose interned names are `names`),
// converts the int32 and float32 ones and checks the tuple ones, in parameter order, with
// the exact messages.  False with the error set.
bool bind_call(const function_spec& s, PyObject* const* names, PyObject* const* args, Py_ssize_t nargs,
               PyObject* kwnames, call_args& a) noexcept;

}  // namespace fs
