# Cross-compiles for Linux on aarch64 with Debian's cross compiler (g++-aarch64-linux-gnu).
#
#   cmake -S . -B build/arm64 --toolchain cmake/aarch64-linux-gnu.cmake \
#         -DPython_INCLUDE_DIR=DIR -DPython_SOABI=cpython-3XY-aarch64-linux-gnu -DNUMPY_INCLUDE=DIR
#
# The interpreter cmake finds is the build machine's; the target's headers, module suffix and
# numpy headers come from the target interpreter (tools/test-arm64 asks it under emulation).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
