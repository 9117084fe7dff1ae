// Traceback entries: one frame per failing function, in the module's source file.
#pragma once

#include <Python.h>

#include "binder.hpp"

namespace fs {

// Adds a traceback entry "ralo_ui.fast.shapes.fast_shapes.<name>" in the
// module's source file to the exception being raised.
void add_traceback(const char* dotted_name, int line) noexcept;
void add_traceback(const function_spec& spec) noexcept;

inline constexpr const char module_name[] = "ralo_ui.fast.shapes.fast_shapes";
inline constexpr const char source_file[] = "src/ralo_ui/fast/shapes/fast_shapes";

}  // namespace fs
