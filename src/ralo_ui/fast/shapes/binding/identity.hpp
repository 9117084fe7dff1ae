// The module's identity as the interpreter sees it: its full name and the file its code objects name.
#pragma once

namespace fs {

inline constexpr const char module_name[] = "ralo_ui.fast.shapes.fast_shapes";
inline constexpr const char source_file[] = "src/ralo_ui/fast/shapes/fast_shapes";

}  // namespace fs
