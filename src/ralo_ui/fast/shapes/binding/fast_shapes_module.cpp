// The module ralo_ui.fast.shapes.fast_shapes: its method table (bindings[]), identity and init function.
#include "fast_shapes_functions.hpp"
#include "module.hpp"
#include "state.hpp"

#include <iterator>

namespace fs {
namespace {

using namespace functions;

// The module's namespace, bound in this order.  A function's row gives its traceback line:
// _create_outlined_rounded_rect_sdf is line 1, create_outlined_rounded_rect_sdf line 8.
constexpr binding bindings[] = {
    {"md", registry_value, nullptr},
    {"np", numpy_value, nullptr},
    {"lru_cache", lru_cache_value, nullptr},
    {nullptr, function_value, &create_outlined_rounded_rect_sdf_raster},
    {nullptr, function_value, &create_rounded_rect_surface_optimized},
    {nullptr, function_value, &transform_into_outlined_rounded_rect},
    {nullptr, function_value, &transform_into_rounded_rect},
    {nullptr, cached_value, &get_cached_rounded_rect_surface},
    {nullptr, function_value, &create_rounded_rect_surface},
    {nullptr, cached_value, &get_cached_outlined_rounded_rect_sdf},
    {nullptr, function_value, &create_outlined_rounded_rect_sdf},
    {"__test__", dict_value, nullptr},
};
static_assert(function_count(bindings) <= traceback_slots, "a function would get no traceback code object");

}  // namespace

const module_identity this_module = {
    .name = "ralo_ui.fast.shapes.fast_shapes",
    .short_name = "fast_shapes",
    .source_file = "src/ralo_ui/fast/shapes/fast_shapes",
    .function_type_name = "ralo_ui.fast.shapes.fast_shapes.function",
    .doc = nullptr,
    .bindings = bindings,
    .binding_count = std::size(bindings),
};

}  // namespace fs

PyMODINIT_FUNC PyInit_fast_shapes() { return fs::init_module(); }
