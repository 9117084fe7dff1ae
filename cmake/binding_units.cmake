# The binding layer's translation units: everything that talks to the interpreter.  The shared
# ones serve both extension modules; each module adds its own table and entries.
set(BINDING_SOURCES
    binding/binder.cpp
    binding/convert.cpp
    binding/function_type.cpp
    binding/host.cpp
    binding/lru_cache.cpp
    binding/module.cpp
    binding/numpy_abi.cpp
    binding/pixel_view.cpp
    binding/state.cpp
    binding/traceback.cpp)
# ralo_ui.fast.shapes.fast_shapes
set(FAST_SHAPES_SOURCES
    binding/fast_shapes_module.cpp
    binding/filled.cpp
    binding/outlined.cpp
    binding/outlined_in_place.cpp
    binding/rounded_in_place.cpp)
# ralo_ui.fast.shapes.draw
set(DRAW_SOURCES
    binding/draw_into.cpp
    binding/draw_module.cpp
    binding/shadow.cpp
    binding/surface_target.cpp)
