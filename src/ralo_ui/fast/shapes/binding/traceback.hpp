// Traceback entries: one frame per failing function, in the module's source file.
#pragma once

#include <Python.h>

#include "binder.hpp"

namespace fs {

// Adds a traceback entry in the module's source file to the exception being raised: one
// named `dotted_name` at `line`, or one named "<module>.<name>" at the function's traceback
// line (its row in the module's table).  Without an exception being raised, nothing.
void add_traceback(const char* dotted_name, int line) noexcept;
void add_traceback(const function_spec& spec) noexcept;

}  // namespace fs
