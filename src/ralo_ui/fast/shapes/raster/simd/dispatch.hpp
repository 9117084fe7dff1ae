// The one table of kernel pointers, one entry per instruction-set-specific kernel, chosen at load.
#pragma once

#include "cpu_features.hpp"

#include <cstddef>
#include <cstdint>

namespace fs {
struct planes;
struct corner_geometry;
namespace outlined {
struct target;
struct stroke;
struct paint;
}  // namespace outlined
}  // namespace fs

namespace fs::simd {

// Every entry gives the same bytes in every table; the tables differ in speed only.
struct kernels {
    const char* name;
    // The corner kernel, one entry per edge rule (corner_kernel.hpp).
    void (*corners_scaled)(const planes&, const corner_geometry&, float alpha) noexcept;
    void (*corners_kept)(const planes&, const corner_geometry&, float alpha) noexcept;
    // One corner square of a new surface's outline (outline_bands.hpp).
    void (*outline_corner)(const outlined::target&, const outlined::stroke&, const outlined::paint&, int64_t x0,
                           int64_t y0, int64_t n) noexcept;
    // `count` copies of a 4-byte word (fill_words.hpp).
    void (*fill_words)(uint8_t* dst, std::size_t count, uint32_t word) noexcept;
};

// The table for this processor, set while the library loads, before any call.  A build
// with FS_BASELINE_KERNELS (CMake: RALO_UI_BASELINE_KERNELS=ON) takes the baseline table
// on every processor, so that its kernels can be tested where AVX2 exists.
extern const kernels& chosen;

// The tables themselves; each kernel file fills in its entries' functions.
extern const kernels baseline_kernels;
#if FS_HAVE_AVX2_FMA_PATH
extern const kernels avx2_fma_kernels;
#endif

// The kernels' variants, defined next to their shared code.
namespace baseline {
void corners_scaled(const planes&, const corner_geometry&, float) noexcept;
void corners_kept(const planes&, const corner_geometry&, float) noexcept;
void outline_corner(const outlined::target&, const outlined::stroke&, const outlined::paint&, int64_t, int64_t,
                    int64_t) noexcept;
void fill_words(uint8_t*, std::size_t, uint32_t) noexcept;
}  // namespace baseline
#if FS_HAVE_AVX2_FMA_PATH
namespace avx2_fma {
void corners_scaled(const planes&, const corner_geometry&, float) noexcept;
void corners_kept(const planes&, const corner_geometry&, float) noexcept;
void outline_corner(const outlined::target&, const outlined::stroke&, const outlined::paint&, int64_t, int64_t,
                    int64_t) noexcept;
void fill_words(uint8_t*, std::size_t, uint32_t) noexcept;
}  // namespace avx2_fma
#endif

}  // namespace fs::simd
