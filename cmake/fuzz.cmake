# The fuzz harnesses, fuzz/fuzz_NAME.cpp, one per kernel family, each linked against the raster
# core alone and reaching its internals through its own headers.  Under RALO_UI_FUZZ they are
# libFuzzer programs with the sanitizers (fuzz/run); under RALO_UI_FUZZ_REPLAY plain programs
# that run the harness once on each file named (fuzz/replay.cpp, for tools/coverage).  The
# build tree's fuzz_harnesses.txt lists their names, one a line.
set(FUZZ_HARNESSES corners outlined outlined_in_place fill_words shadow blend)
set(FUZZ_DIR ${CMAKE_CURRENT_SOURCE_DIR}/fuzz)

if(RALO_UI_FUZZ)
  # The core is instrumented for libFuzzer's coverage feedback; the harnesses get its main.
  target_compile_options(fast_shapes_raster PRIVATE -fsanitize=fuzzer-no-link)
  set(harness_options -fsanitize=fuzzer)
  set(harness_main "")
else()
  set(harness_options "")
  set(harness_main ${FUZZ_DIR}/replay.cpp)
endif()

# <fuzzer/FuzzedDataProvider.h> comes with clang; another compiler gets a copy of clang's.
add_library(fast_shapes_fuzz_provider INTERFACE)
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  file(GLOB provider /usr/lib/llvm-*/lib/clang/*/include/fuzzer/FuzzedDataProvider.h)
  list(GET provider 0 provider)
  if(NOT provider)
    message(FATAL_ERROR "FuzzedDataProvider.h is missing (clang's headers)")
  endif()
  configure_file(${provider} ${CMAKE_CURRENT_BINARY_DIR}/fuzz_include/fuzzer/FuzzedDataProvider.h COPYONLY)
  target_include_directories(fast_shapes_fuzz_provider SYSTEM INTERFACE ${CMAKE_CURRENT_BINARY_DIR}/fuzz_include)
endif()

set(names "")
foreach(name IN LISTS FUZZ_HARNESSES)
  add_executable(fuzz_${name} ${FUZZ_DIR}/fuzz_${name}.cpp ${harness_main} $<TARGET_OBJECTS:fast_shapes_raster>)
  target_include_directories(fuzz_${name} PRIVATE ${SHAPES_DIR}/raster ${FUZZ_DIR})
  target_link_libraries(fuzz_${name} PRIVATE fast_shapes_flags fast_shapes_fuzz_provider)
  target_compile_options(fuzz_${name} PRIVATE ${harness_options})
  target_link_options(fuzz_${name} PRIVATE ${harness_options})
  set_target_properties(fuzz_${name} PROPERTIES OUTPUT_NAME ${name} CXX_EXTENSIONS OFF)
  string(APPEND names "${name}\n")
endforeach()
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/fuzz_harnesses.txt "${names}")
