// The functions the draw module publishes, as specs for the function type; each spec stands
// above its body in the file of the entry it calls (shadow.cpp).
#pragma once

#include "binder.hpp"
#include "traceback.hpp"

namespace fs::functions {

extern const function_spec shadow_margin;
extern const function_spec create_shadow_surface_raster;  // _create_shadow_surface
extern const function_spec get_cached_shadow_surface;     // _get_cached_shadow_surface
extern const function_spec create_shadow_surface;
extern const function_spec rounded_rect;  // draw_into.cpp
extern const function_spec shadow;

}  // namespace fs::functions
