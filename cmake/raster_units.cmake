# The raster core's translation units and the flags of its AVX2 units: CMakeLists.txt includes
# this file, and tools/check-baseline-isa runs it to learn which objects are the AVX2 ones:
#
#   cmake -P cmake/raster_units.cmake     one line per unit: its path under the package, then
#                                         the flags it needs beyond the build's (GCC and Clang)
#
# The AVX2 units come last: a build that links the objects in this order meets every baseline
# definition first.
set(RASTER_SOURCES
    raster/blend.cpp
    raster/corners.cpp
    raster/coverage.cpp
    raster/drawn_shapes.cpp
    raster/geometry.cpp
    raster/into_surface.cpp
    raster/simd/dispatch.cpp
    raster/fill_words.cpp
    raster/outlined.cpp
    raster/outlined_in_place.cpp
    raster/outlined_in_place_runs.cpp
    raster/planes.cpp
    raster/portable.cpp
    raster/shadow.cpp
    raster/shadow_tables.cpp)
# Compiled for AVX2 and FMA on x86-64 (and empty elsewhere); the dispatch table calls them only
# on processors that have both.
set(RASTER_AVX2_SOURCES
    raster/simd/blend_avx2.cpp
    raster/simd/corners_avx2.cpp
    raster/simd/fill_words_avx2.cpp
    raster/simd/outlined_avx2.cpp
    raster/simd/shadow_avx2.cpp)
set(RASTER_AVX2_FLAGS_GNU -mavx2 -mfma)
# /arch:AVX2 implies FMA in MSVC's code generation.
set(RASTER_AVX2_FLAGS_MSVC /arch:AVX2)

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  set(lines "")
  foreach(src IN LISTS RASTER_SOURCES)
    string(APPEND lines "${src}\n")
  endforeach()
  list(JOIN RASTER_AVX2_FLAGS_GNU " " flags)
  foreach(src IN LISTS RASTER_AVX2_SOURCES)
    string(APPEND lines "${src} ${flags}\n")
  endforeach()
  execute_process(COMMAND "${CMAKE_COMMAND}" -E echo_append "${lines}")
endif()
