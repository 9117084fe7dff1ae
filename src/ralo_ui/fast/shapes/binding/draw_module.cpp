// The module ralo_ui.fast.shapes.draw: its method table (bindings[]), identity and init function.
#include "draw_functions.hpp"
#include "module.hpp"
#include "state.hpp"

#include <iterator>

namespace fs {
namespace {

using namespace functions;

// The module's namespace, bound in this order.  A function's row gives its traceback line.
constexpr binding bindings[] = {
    {"md", registry_value, nullptr},
    {"lru_cache", lru_cache_value, nullptr},
    {nullptr, function_value, &shadow_margin},
    {nullptr, function_value, &create_shadow_surface_raster},
    {nullptr, cached_value, &get_cached_shadow_surface},
    {nullptr, function_value, &create_shadow_surface},
    {nullptr, function_value, &rounded_rect},
    {nullptr, function_value, &shadow},
};
static_assert(function_count(bindings) <= traceback_slots, "a function would get no traceback code object");

}  // namespace

const module_identity this_module = {
    .name = "ralo_ui.fast.shapes.draw",
    .short_name = "draw",
    .source_file = "src/ralo_ui/fast/shapes/draw",
    .function_type_name = "ralo_ui.fast.shapes.draw.function",
    .doc =
        "Shapes held to their exact geometry rather than to a fixed rule: soft shadows of rounded\n"
        "rectangles, exactly Gaussian.\n\n"
        "A shadow surface is padded by shadow_margin(blur, spread) on every side; blit it at\n"
        "(x - m + dx, y - m + dy) to put the shadow of a shape at (x, y) offset by (dx, dy).",
    .bindings = bindings,
    .binding_count = std::size(bindings),
};

}  // namespace fs

PyMODINIT_FUNC PyInit_draw() { return fs::init_module(); }
