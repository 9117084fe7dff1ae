// The module's lru_cache: three ways to reach it, and the memoising functions made with it.
#include "lru_cache.hpp"

#include "function_type.hpp"
#include "host.hpp"

namespace fs {
namespace {

constexpr long cache_size = 256;

// Runs `from functools import lru_cache` itself, so that a functools without it fails with
// the interpreter's own ImportError ("cannot import name 'lru_cache' from 'functools' (...)",
// with its name, path and suggestion attributes).  The frame the statement ran in is left out
// of the traceback.  Should the statement succeed after all, its result is taken.
ref lru_cache_by_statement() noexcept {
    ref globals = ref::steal(PyDict_New());
    if (!globals) return {};
    ref done = ref::steal(PyRun_String("from functools import lru_cache", Py_file_input, globals.get(), globals.get()));
    if (!done) {
        PyObject* error = PyErr_GetRaisedException();
        if (error != nullptr) PyException_SetTraceback(error, Py_None);
        PyErr_SetRaisedException(error);
        return {};
    }
    PyObject* found = nullptr;
    if (PyDict_GetItemStringRef(globals.get(), "lru_cache", &found) < 0) return {};
    if (found == nullptr) PyErr_SetString(PyExc_ImportError, "cannot import name lru_cache");
    return ref::steal(found);
}

}  // namespace

ref import_lru_cache(PyObject* dict) noexcept {
    PyObject* functools = nullptr;
    if (PyDict_GetItemStringRef(PyImport_GetModuleDict(), "functools", &functools) < 0) return {};
    ref module = ref::steal(functools);
    PyObject* found = nullptr;
    if (module && PyObject_GetOptionalAttrString(module.get(), "lru_cache", &found) < 0) return {};
    if (found != nullptr) return ref::steal(found);
    ref fromlist = ref::steal(Py_BuildValue("(s)", "lru_cache"));
    if (!fromlist) return {};
    module = ref::steal(PyImport_ImportModuleLevel("functools", dict, nullptr, fromlist.get(), 0));
    if (!module) return {};
    if (PyObject_GetOptionalAttrString(module.get(), "lru_cache", &found) < 0) return {};
    if (found == nullptr) return lru_cache_by_statement();
    return ref::steal(found);
}

ref cached_function(const function_spec& spec, PyObject* dict, int line) noexcept {
    ref lru_cache_name = ref::steal(PyUnicode_InternFromString("lru_cache"));
    if (!lru_cache_name) return {};
    ref lru_cache = get_global(lru_cache_name.get());
    if (!lru_cache) return {};
    ref maxsize = ref::steal(PyLong_FromLong(cache_size));
    ref kwnames = ref::steal(Py_BuildValue("(s)", "maxsize"));
    if (!maxsize || !kwnames) return {};
    PyObject* args[] = {maxsize.get()};
    ref decorator = ref::steal(PyObject_Vectorcall(lru_cache.get(), args, 0, kwnames.get()));
    if (!decorator) return {};
    ref function = ref::steal(make_function(spec, dict, line));
    if (!function) return {};
    return ref::steal(PyObject_CallOneArg(decorator.get(), function.get()));
}

}  // namespace fs
