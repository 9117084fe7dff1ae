# Cross-compiles for Linux on aarch64 with Debian's cross compiler (g++-aarch64-linux-gnu).
#
#   cmake --preset aarch64-release -DPython_INCLUDE_DIR=DIR -DNUMPY_INCLUDE=DIR
#
# The interpreter cmake finds is the build machine's, and cmake asks it nothing about the
# target: the headers are the target interpreter's and numpy's for it, and the module is
# renamed for the target's suffix (tools/test-aarch64 asks that interpreter under emulation).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
