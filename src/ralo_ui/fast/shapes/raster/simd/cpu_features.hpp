// What the pixel kernels may ask of the processor: the one target attribute, the one detection, prefetches.
#pragma once

// On x86-64 the kernels are compiled twice: once for the baseline instruction set,
// where std::fma is the C library's (correctly rounded, in software if need be),
// and once for AVX2 with FMA, marked FS_TARGET_AVX2_FMA, where it is the fused
// instruction.  Both give the same bytes: every operation they use is correctly
// rounded in single precision, and the build keeps the compiler from contracting
// anything else into a fused multiply-add in either.  Which one runs is decided
// once, at load, by the dispatch table (dispatch.hpp).
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define FS_HAVE_AVX2_FMA_PATH 1
#define FS_TARGET_AVX2_FMA [[gnu::target("avx2,fma")]]
#else
#define FS_HAVE_AVX2_FMA_PATH 0
#endif

namespace fs::simd {

#if FS_HAVE_AVX2_FMA_PATH
// True when the processor and the operating system support AVX2 and FMA.
inline bool detect_avx2_fma() noexcept {
    // The library may be loaded before the compiler runtime's own detection has
    // run; asking again is harmless.  The checks include the operating system's
    // support for the AVX registers.
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
}
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

}  // namespace fs::simd
