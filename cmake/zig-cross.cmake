# Cross-compiles the extension with zig's clang (the PyPI package `ziglang`) for the target
# RALO_UI_CROSS_TARGET, a zig triple such as aarch64-macos or x86_64-windows-gnu.
# RALO_UI_ZIG names the zig executable.  tools/check-cross sets both, and gives the target's
# headers through Python_INCLUDE_DIR and NUMPY_INCLUDE (and, for Windows, Python_LIBRARY).
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES RALO_UI_CROSS_TARGET RALO_UI_ZIG)
if(NOT RALO_UI_CROSS_TARGET OR NOT RALO_UI_ZIG)
  message(FATAL_ERROR "zig-cross: set RALO_UI_CROSS_TARGET and RALO_UI_ZIG")
endif()

string(REGEX MATCH "^[^-]+" CMAKE_SYSTEM_PROCESSOR "${RALO_UI_CROSS_TARGET}")
if(RALO_UI_CROSS_TARGET MATCHES "-macos")
  set(CMAKE_SYSTEM_NAME Darwin)
elseif(RALO_UI_CROSS_TARGET MATCHES "-windows")
  set(CMAKE_SYSTEM_NAME Windows)
elseif(RALO_UI_CROSS_TARGET MATCHES "-linux")
  set(CMAKE_SYSTEM_NAME Linux)
else()
  message(FATAL_ERROR "zig-cross: no system known for ${RALO_UI_CROSS_TARGET}")
endif()

set(CMAKE_CXX_COMPILER "${RALO_UI_ZIG}" c++ -target ${RALO_UI_CROSS_TARGET})
# The compiler checks build a static library: linking a program would build the target's C
# library first, which the module itself does not need.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
# Nothing but the build tool is looked up on the build machine: its python3.x-config, for
# one, describes the build machine's interpreter.  The target's headers and libraries are
# given as paths.
if(CMAKE_GENERATOR MATCHES "Ninja" AND NOT CMAKE_MAKE_PROGRAM)
  find_program(CMAKE_MAKE_PROGRAM NAMES ninja-build ninja REQUIRED)
endif()
set(CMAKE_FIND_ROOT_PATH ${CMAKE_CURRENT_LIST_DIR}/zig-cross-nothing)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Rules that replace the platform's own, read after them.
set(CMAKE_USER_MAKE_RULES_OVERRIDE_CXX ${CMAKE_CURRENT_LIST_DIR}/zig-cross-rules.cmake)
# An implicit narrowing from 64 to 32 bits is a warning too: long is 32 bits on Windows.
set(CMAKE_CXX_FLAGS_INIT "-Wshorten-64-to-32")
