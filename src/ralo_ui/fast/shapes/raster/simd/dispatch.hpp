// The one table of kernel pointers, one entry per instruction-set-specific kernel, chosen at load.
#pragma once

#include "../portable.hpp"

#include <cstddef>
#include <cstdint>

// On x86-64 the kernels exist twice: the baseline ones, where std::fma is the C library's
// (correctly rounded, in software if need be), and the AVX2 + FMA ones, in translation units
// of their own (simd/*_avx2.cpp) compiled for that instruction set, where it is the fused
// instruction.  Both give the same bytes: every operation they use is correctly rounded in
// single precision, and the build keeps the compiler from contracting anything else into a
// fused multiply-add in either.  Which one runs is decided once, at load.
#define FS_HAVE_AVX2_FMA_PATH FS_X86_64

namespace fs {
struct planes;
class packed_pixels;
namespace blend {
struct paint;
}
struct corner_geometry;
namespace outlined {
struct target;
struct stroke;
struct paint;
}  // namespace outlined
}  // namespace fs

namespace fs::simd {

// Every kernel once: name, result and parameters.  The table's members (kernels, below), each
// variant's declarations (namespaces baseline and avx2, below) and both tables (dispatch.cpp)
// are made from this list, so a kernel is added by one line here and its definitions.
//   corners_scaled, corners_kept: the corner kernel, one entry per edge rule (corners.hpp).
//   outlined_corner: one corner square of a new surface's outline (outlined.hpp).
//   squares_mirrored, mirror_top_left: whether the other three corner squares of a new
//     surface's outline mirror the top-left one, and the copy that makes them so (outlined.cpp).
//   fill_words: `count` copies of a 4-byte word (fill_words.hpp).
//   shadow_tails, shadow_dot: the soft shadow's upper normal tails q = Phi(-z) and ramps g of
//     z[0..n) (shadow_math.hpp), and its dot product, summed in eight running sums
//     (shadow_tables.cpp).
//   shadow_cut_row: a row of a corner's cuts from tables that hold every node for every column
//     (shadow_tables.cpp).
//   blend_row: composites a paint over n pixels with their coverages (blend.hpp).
#define FS_SIMD_KERNELS(X)                                                                                             \
    X(corners_scaled, void, (const planes&, const corner_geometry&, float alpha))                                      \
    X(corners_kept, void, (const planes&, const corner_geometry&, float alpha))                                        \
    X(outlined_corner, void,                                                                                           \
      (const outlined::target&, const outlined::stroke&, const outlined::paint&, int64_t x0, int64_t y0, int64_t n))   \
    X(squares_mirrored, bool, (const packed_pixels&, int64_t W, int64_t H, int64_t box))                               \
    X(mirror_top_left, void, (const packed_pixels&, int64_t W, int64_t H, int64_t box))                                \
    X(fill_words, void, (uint8_t* dst, std::size_t count, uint32_t word))                                              \
    X(shadow_tails, void, (const float* z, float* q, float* g, std::size_t n))                                         \
    X(shadow_dot, float, (const float* a, const float* b, std::size_t n))                                              \
    X(shadow_cut_row, void,                                                                                            \
      (const float* a, std::size_t nodes, const float* k, std::size_t stride, const float* k_u, float sum, float* out, \
       std::size_t n))                                                                                                 \
    X(blend_row, void, (uint8_t* dst, const float* cov, std::size_t n, const blend::paint& p))

// A member of the table, and a variant's declaration, from a line of the list.
#define FS_SIMD_MEMBER(kernel, result, parameters) result(*kernel) parameters noexcept;
#define FS_SIMD_DECLARE(kernel, result, parameters) result kernel parameters noexcept;

// Every entry gives the same bytes in every table; the tables differ in speed only.
struct kernels {
    const char* name;
    FS_SIMD_KERNELS(FS_SIMD_MEMBER)
};

// The table this process draws with, set while the library loads, before any call: the
// processor's best unless the environment variable RALO_UI_KERNELS, read then and only
// then, says otherwise (see choice).
extern const kernels& chosen;

// The tables themselves; each kernel file fills in its entries' functions.
extern const kernels baseline_kernels;
#if FS_HAVE_AVX2_FMA_PATH
extern const kernels avx2_fma_kernels;
#endif

// True when the processor and the operating system support AVX2 and FMA.
inline bool detect_avx2_fma() noexcept { return portable::cpu_has_avx2_fma(); }

// What RALO_UI_KERNELS asked for when the library loaded.  "" (or unset) and "auto" take the
// processor's best table; a table's name takes that table where the processor can run it.
// A value that names no table, or a table this processor cannot run, selects the processor's
// best table: `choice` then says which, and the module warns when it loads.
enum class request : uint8_t { automatic, named, unknown, unsupported };
struct choice {
    request outcome;
    char value[32];  // the variable's value, cut to fit, for the warning
};
const choice& kernel_choice() noexcept;
// The names RALO_UI_KERNELS accepts, for messages: "auto, baseline, avx2+fma" on x86-64.
extern const char* const accepted_kernels;

// The kernels' variants: the baseline ones are defined next to their shared code; each
// instruction set's own in its own translation units and namespace.
namespace baseline {
FS_SIMD_KERNELS(FS_SIMD_DECLARE)
}  // namespace baseline
#if FS_HAVE_AVX2_FMA_PATH
namespace avx2 {
FS_SIMD_KERNELS(FS_SIMD_DECLARE)
}  // namespace avx2
#endif

}  // namespace fs::simd
