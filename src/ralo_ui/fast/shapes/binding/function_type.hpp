// The module's function type: its objects, attributes, vectorcall and lifecycle.
#pragma once

#include <Python.h>

#include "binder.hpp"
#include "traceback.hpp"

namespace fs {

// A new function type (the state keeps the one the module uses).
PyTypeObject* make_function_type() noexcept;

// A new function object for `spec`, with the module namespace as its globals, the spec's
// defaults and `line` as its code object's (and traceback entries') line.
PyObject* make_function(const function_spec& spec, PyObject* globals, int line) noexcept;

}  // namespace fs
