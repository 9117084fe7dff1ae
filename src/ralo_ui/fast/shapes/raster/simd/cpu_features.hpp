// What the pixel kernels may ask of the processor: instruction sets (decided once at load) and prefetches.
#pragma once

// On x86-64 the kernels are compiled twice: once for the baseline instruction set,
// where std::fma is the C library's (correctly rounded, in software if need be),
// and once for AVX2 with FMA, marked FS_TARGET_AVX2_FMA, where it is the fused
// instruction.  Both give the same bytes: every operation they use is correctly
// rounded in single precision, and the build keeps the compiler from contracting
// anything else into a fused multiply-add in either.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define FS_HAVE_AVX2_FMA_PATH 1
#define FS_TARGET_AVX2_FMA [[gnu::target("avx2,fma")]]
#else
#define FS_HAVE_AVX2_FMA_PATH 0
#endif

namespace fs {

#if FS_HAVE_AVX2_FMA_PATH
namespace detail {
inline bool detect_avx2_fma() noexcept {
    // The library may be loaded before the compiler runtime's own detection has
    // run; asking again is harmless.  The checks include the operating system's
    // support for the AVX registers.
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}
}  // namespace detail

#endif

// Set while the library is loaded, before any call: no check on the pixel path.
// A build with FS_BASELINE_KERNELS (CMake: RALO_UI_BASELINE_KERNELS=ON) runs the
// baseline kernels on every processor, so that they can be tested where AVX2 exists.
#if FS_HAVE_AVX2_FMA_PATH && !defined(FS_BASELINE_KERNELS)
inline const bool cpu_has_avx2_fma = detail::detect_avx2_fma();
inline const bool cpu_has_avx2 = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
#else
inline constexpr bool cpu_has_avx2_fma = false;
inline constexpr bool cpu_has_avx2 = false;
#endif

// Asks for the cache line holding `p` ahead of its use.  A hint only: nothing is read,
// and no address can fault.
inline void prefetch(const void* p) noexcept {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(p);
#else
    (void)p;
#endif
}

}  // namespace fs
