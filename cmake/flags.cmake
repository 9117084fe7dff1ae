# fast_shapes_flags: the flags every object of the module, of its raster core and of the fuzz
# harnesses is compiled with, per compiler, and those of each kind of build (the options in
# CMakeLists.txt).  RASTER_AVX2_FLAGS: the AVX2 units' own, for this compiler.
add_library(fast_shapes_flags INTERFACE)
target_compile_features(fast_shapes_flags INTERFACE cxx_std_20)
if(MSVC)
  # Pixels are specified to the bit.  /fp:precise keeps every operation rounded as written, and
  # since Visual Studio 2022 (19.30) it contracts nothing into a fused multiply-add unless
  # /fp:contract is given, which is off by default and never given here; older versions
  # contracted under /arch:AVX2, so they are refused.  The one fused operation the rasterisers
  # use is written out with std::fma.
  if(MSVC_VERSION LESS 1930)
    message(FATAL_ERROR "MSVC 19.30 (Visual Studio 2022) or later is needed: older ones contract a*b+c")
  endif()
  target_compile_options(fast_shapes_flags INTERFACE /W4 /permissive- /Zc:__cplusplus /utf-8 /fp:precise)
  # std::getenv and std::strncpy are standard C++; the C runtime's advice against them is not
  # wanted.
  target_compile_definitions(fast_shapes_flags INTERFACE _CRT_SECURE_NO_WARNINGS)
  if(RALO_UI_WERROR)
    target_compile_options(fast_shapes_flags INTERFACE /WX)
  endif()
  set(RASTER_AVX2_FLAGS ${RASTER_AVX2_FLAGS_MSVC})
else()
  # GCC and Clang.  Pixels are specified to the bit: no contraction of a*b+c into a fused
  # multiply-add behind our back, and no fast-math.  The one fused operation the rasterisers
  # use is written out with std::fma.
  target_compile_options(fast_shapes_flags INTERFACE -Wall -Wextra -ffp-contract=off -fno-fast-math
                                                     -fno-math-errno)
  # Every change between single and double precision is written as a cast where it is
  # made: an implicit one is a warning (an error where RALO_UI_WERROR is on, as in CI).
  target_compile_options(fast_shapes_flags INTERFACE -Wdouble-promotion -Wfloat-conversion)
  if(RALO_UI_WERROR)
    target_compile_options(fast_shapes_flags INTERFACE -Werror)
  endif()
  set(RASTER_AVX2_FLAGS ${RASTER_AVX2_FLAGS_GNU})
endif()
# The AVX2 units get their instruction set's flags; every other object is compiled for the
# baseline (tools/check-baseline-isa disassembles them to make sure).  Off x86-64 they compile
# to nothing and get no flags.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|x64)$")
  set_source_files_properties(${RASTER_AVX2_SOURCES} PROPERTIES COMPILE_OPTIONS "${RASTER_AVX2_FLAGS}")
endif()

# Checks of the preconditions the comments state (raster/checks.hpp), and the C++ library's
# own (an empty range to std::clamp, an index past a vector's end); the sanitizer and fuzz
# builds have them.
if(RALO_UI_DEBUG_CHECKS)
  target_compile_definitions(fast_shapes_flags INTERFACE FS_DEBUG_CHECKS=1 _GLIBCXX_ASSERTIONS=1)
endif()

# The sanitizers of the sanitizer and fuzz builds.  float-cast-overflow and alignment are part
# of `undefined`; they are named so that no future default drops them.  No recovery: the first
# report aborts the process.
set(RALO_UI_SANITIZERS -fsanitize=address,undefined,float-cast-overflow,alignment)
if(RALO_UI_SANITIZE OR RALO_UI_FUZZ)
  target_compile_options(fast_shapes_flags INTERFACE ${RALO_UI_SANITIZERS} -fno-sanitize-recover=all
                                                     -fno-omit-frame-pointer -g -O1)
  # The interpreter is not instrumented: the module takes the sanitizers' shared runtime,
  # which the test run preloads (tools/sanitize).
  target_link_options(fast_shapes_flags INTERFACE ${RALO_UI_SANITIZERS}
                      $<$<BOOL:${RALO_UI_SANITIZE}>:-shared-libsan>)
elseif(RALO_UI_COVERAGE)
  # -O0: every source line keeps its own code, so lines and branches count as written; atomic
  # counters, because pixel loops run on several threads at once.
  target_compile_options(fast_shapes_flags INTERFACE --coverage -fprofile-update=atomic -O0 -g)
  target_link_options(fast_shapes_flags INTERFACE --coverage)
elseif(NOT CMAKE_BUILD_TYPE AND NOT MSVC)
  target_compile_options(fast_shapes_flags INTERFACE -O2)
endif()
if(RALO_UI_SYNTAX_ONLY)
  target_compile_options(fast_shapes_flags INTERFACE -fsyntax-only)
endif()
