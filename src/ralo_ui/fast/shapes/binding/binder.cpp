// The argument binder: positional and keyword binding with the exact messages, then conversions.
#include "binder.hpp"

#include "convert.hpp"
#include "raster/portable.hpp"

#include <bit>

namespace fs {
namespace {

// What binding needs of a function: its spec and its parameters' interned names.
struct signature {
    const function_spec* spec;
    PyObject* const* param_names;
};

FS_COLD FS_NOINLINE void wrong_count(const function_spec& s, Py_ssize_t given) noexcept {
    bool exact = s.required == s.param_count;
    Py_ssize_t bound = given < s.required ? s.required : s.param_count;
    const char* how = exact ? "exactly" : (given < s.required ? "at least" : "at most");
    PyErr_Format(PyExc_TypeError, "%.200s() takes %.8s %zd positional argument%.1s (%zd given)", s.name, how, bound,
                 bound == 1 ? "" : "s", given);
}

int param_index(const signature* f, PyObject* key) noexcept {
    const int n = f->spec->param_count;
    for (int i = 0; i < n; ++i)
        if (f->param_names[i] == key) return i;
    if (!PyUnicode_Check(key)) return -1;
    for (int i = 0; i < n; ++i)
        if (PyUnicode_Equal(f->param_names[i], key) == 1) return i;
    return -1;
}

// Reports the first keyword, in the caller's order, that is not a string, names no parameter,
// or names one filled already: by position or by an earlier keyword.
FS_COLD FS_NOINLINE void bad_keyword(const signature* f, PyObject* kwnames, Py_ssize_t nargs) noexcept {
    const char* name = f->spec->name;
    bool taken[max_params] = {};
    for (Py_ssize_t k = 0; k < PyTuple_GET_SIZE(kwnames); ++k) {
        PyObject* key = PyTuple_GET_ITEM(kwnames, k);
        const int i = param_index(f, key);
        if (i >= nargs && !taken[i]) {
            taken[i] = true;  // filled by this keyword
            continue;
        }
        if (i >= 0) {
            PyErr_Format(PyExc_TypeError, "%s() got multiple values for keyword argument '%U'", name, key);
        } else if (!PyUnicode_Check(key)) {
            PyErr_Format(PyExc_TypeError, "%.200s() keywords must be strings", name);
        } else {
            PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%U'", name, key);
        }
        return;
    }
    // Not reached: called only when a keyword filled no parameter of its own, and that keyword
    // either names no parameter or one filled already.
}

// The keyword argument for parameter i: by identity first, then by equal strings.
PyObject* keyword_value(const signature* f, PyObject* kwnames, PyObject* const* kwvalues, Py_ssize_t i) noexcept {
    const Py_ssize_t nkw = PyTuple_GET_SIZE(kwnames);
    for (Py_ssize_t k = 0; k < nkw; ++k)
        if (PyTuple_GET_ITEM(kwnames, k) == f->param_names[i]) return kwvalues[k];
    for (Py_ssize_t k = 0; k < nkw; ++k) {
        PyObject* key = PyTuple_GET_ITEM(kwnames, k);
        if (PyUnicode_Check(key) && PyUnicode_Equal(key, f->param_names[i]) == 1) return kwvalues[k];
    }
    return nullptr;
}

// Fills the parameters after the positional ones from the keywords; left-out optional ones as
// `left_out` says.
bool bind_keywords(const signature* f, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                   PyObject** out) noexcept {
    const function_spec& s = *f->spec;
    Py_ssize_t unused = PyTuple_GET_SIZE(kwnames);
    for (Py_ssize_t i = nargs; i < s.param_count; ++i) {
        out[i] = keyword_value(f, kwnames, args + nargs, i);
        if (out[i] != nullptr) {
            --unused;
        } else if (i < s.required) {
            wrong_count(s, i);  // the parameters before the first unfilled one count as given
            return false;
        } else {
            out[i] = left_out(s.params[i]);
        }
    }
    if (unused > 0) {
        bad_keyword(f, kwnames, nargs);
        return false;
    }
    return true;
}

// Fills `out` with borrowed references to the arguments in parameter order.
bool bind(const signature* f, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, PyObject** out) noexcept {
    const function_spec& s = *f->spec;
    if (nargs > s.param_count) {
        wrong_count(s, nargs);
        return false;
    }
    for (Py_ssize_t i = 0; i < nargs; ++i) out[i] = args[i];
    if (kwnames != nullptr && PyTuple_GET_SIZE(kwnames) != 0) return bind_keywords(f, args, nargs, kwnames, out);
    if (nargs < s.required) {
        wrong_count(s, nargs);
        return false;
    }
    for (Py_ssize_t i = nargs; i < s.param_count; ++i) out[i] = left_out(s.params[i]);
    return true;
}

FS_COLD FS_NOINLINE bool not_a_tuple(const char* name, PyObject* value) noexcept {
    PyErr_Format(PyExc_TypeError, "Argument '%.200s' has incorrect type (expected %.200s, got %.200s)", name, "tuple",
                 Py_TYPE(value)->tp_name);
    return false;
}

// A left-out number (nullptr) takes its fallback.
template <class T, bool (*convert)(PyObject*, T&) noexcept>
bool number(const param& p, PyObject* v, T& out) noexcept {
    if (v != nullptr) return convert(v, out);
    out = static_cast<T>(p.fallback);
    return true;
}

// Conversions in parameter order, then the tuple checks in parameter order; a function with
// neither (a front end) skips both.
bool convert(const function_spec& s, call_args& a) noexcept {
    for (uint32_t left = s.numbers; left != 0; left &= left - 1) {
        const int i = std::countr_zero(left);
        const param& p = s.params[i];
        if (p.kind == param_kind::int32 && !number<int32_t, to_int32>(p, a.obj[i], a.i32[i])) return false;
        if (p.kind == param_kind::float32 && !number<float, to_float32>(p, a.obj[i], a.f32[i])) return false;
        if (p.kind == param_kind::float64 && !number<double, to_float64>(p, a.obj[i], a.f64[i])) return false;
    }
    for (uint32_t left = s.tuples; left != 0; left &= left - 1) {
        const int i = std::countr_zero(left);
        PyObject* v = a.obj[i];
        if (v != Py_None && !PyTuple_CheckExact(v)) return not_a_tuple(s.params[i].name, v);
    }
    return true;
}

}  // namespace

bool bind_call(const function_spec& s, PyObject* const* names, PyObject* const* args, Py_ssize_t nargs,
               PyObject* kwnames, call_args& a) noexcept {
    const signature sig{&s, names};
    return bind(&sig, args, nargs, kwnames, a.obj) && convert(s, a);
}

}  // namespace fs
