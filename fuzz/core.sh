# What the builds of the fuzz harnesses share; sourced by fuzz/run and tools/coverage from the
# checkout's top.
#
# The raster core, as CMakeLists.txt lists it (RASTER_SOURCES): plain C++, no Python.  The
# harnesses reach its internals through its own headers only.
CORE=src/ralo_ui/fast/shapes
mapfile -t SOURCES < <(sed -n '/^set(RASTER_SOURCES/,/)/p' CMakeLists.txt | grep -o 'raster/[A-Za-z0-9_/]*\.cpp')
[ ${#SOURCES[@]} -gt 0 ] || { echo "fuzz: no RASTER_SOURCES in CMakeLists.txt" >&2; exit 1; }
# One harness per kernel family, fuzz/fuzz_NAME.cpp, with its seed corpus in fuzz/corpus/NAME.
ALL_HARNESSES=(corner_kernel outlined outline_in_place fill_words)
