// The module's lru_cache: where it comes from, and the memoising functions made with it.
#pragma once

#include "binder.hpp"
#include "ref.hpp"

namespace fs {

// lru_cache from functools, for the namespace: an imported functools that has it, else an
// import of functools from `dict`'s module, else the statement `from functools import
// lru_cache` itself, whose ImportError is the interpreter's own.
ref import_lru_cache(PyObject* dict) noexcept;

// lru_cache(maxsize=256) applied to a new function of `spec` (traceback line `line`), with
// lru_cache looked up in the namespace afresh.
ref cached_function(const function_spec& spec, PyObject* dict, int line) noexcept;

}  // namespace fs
