// The module's function type: its objects, attributes, vectorcall and lifecycle.
#pragma once

#include <Python.h>

#include "binder.hpp"
#include "traceback.hpp"

namespace fs {

// A new function type (the state keeps the one the module uses).
PyTypeObject* make_function_type() noexcept;

// A new function object for `spec`, with the module namespace as its globals
// and `defaults` (may be nullptr) as its defaults tuple.
PyObject* make_function(const function_spec& spec, PyObject* globals, PyObject* defaults) noexcept;

}  // namespace fs
