# The binding layer's translation units: everything that talks to the interpreter.
set(BINDING_SOURCES
    binding/binder.cpp
    binding/convert.cpp
    binding/filled.cpp
    binding/function_type.cpp
    binding/host.cpp
    binding/lru_cache.cpp
    binding/module.cpp
    binding/numpy_abi.cpp
    binding/outlined.cpp
    binding/outlined_in_place.cpp
    binding/pixel_view.cpp
    binding/rounded_in_place.cpp
    binding/state.cpp
    binding/traceback.cpp)
