// The eight functions fast_shapes publishes, as specs for the function type.  Each spec stands
// above its body, in the file of the entry the body calls: filled.cpp, outlined.cpp,
// rounded_in_place.cpp and outlined_in_place.cpp.  An entry returns a new reference, or nullptr
// with a Python exception set; none adds a traceback entry itself.
#pragma once

#include "binder.hpp"
#include "traceback.hpp"

namespace fs::functions {

extern const function_spec create_outlined_rounded_rect_sdf_raster;  // _create_outlined_rounded_rect_sdf
extern const function_spec create_rounded_rect_surface_optimized;    // _create_rounded_rect_surface_optimized
extern const function_spec transform_into_outlined_rounded_rect;
extern const function_spec transform_into_rounded_rect;
extern const function_spec get_cached_rounded_rect_surface;  // _get_cached_rounded_rect_surface
extern const function_spec create_rounded_rect_surface;
extern const function_spec get_cached_outlined_rounded_rect_sdf;  // _get_cached_outlined_rounded_rect_sdf
extern const function_spec create_outlined_rounded_rect_sdf;

}  // namespace fs::functions
