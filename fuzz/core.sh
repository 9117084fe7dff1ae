# What the builds of the fuzz harnesses share; sourced by fuzz/run and tools/coverage from the
# checkout's top.
#
# The raster core, as the build lists it (cmake/raster_units.cmake): plain C++, no Python.  The
# harnesses reach its internals through its own headers only.  SOURCES holds every unit in the
# build's link order; UNIT_FLAGS[unit] the flags a unit needs beyond the build's own (-mavx2
# -mfma for the AVX2 units), to be given wherever the unit is compiled.
CORE=src/ralo_ui/fast/shapes
SOURCES=()
declare -A UNIT_FLAGS=()
while read -r unit flags; do
    SOURCES+=("$unit")
    UNIT_FLAGS[$unit]=$flags
done < <(cmake -P cmake/raster_units.cmake)
[ ${#SOURCES[@]} -gt 0 ] || { echo "fuzz: no raster units in cmake/raster_units.cmake" >&2; exit 1; }
# One harness per kernel family, fuzz/fuzz_NAME.cpp, with its seed corpus in fuzz/corpus/NAME.
ALL_HARNESSES=(corner_kernel outlined outline_in_place fill_words)
