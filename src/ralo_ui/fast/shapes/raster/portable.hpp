// The one place for compiler- and OS-specific spellings: hints, bit scan, checked arithmetic, CPU, cache.
#pragma once

// Everything else in the module is standard C++20 and includes this header for what the
// standard does not spell: MSVC (and clang-cl, which takes MSVC's spellings) has one branch,
// GCC and Clang share the other, and any other compiler gets a plain fallback that is correct,
// if slower.  tools/check-portable fails the
// build's CI when such a spelling appears outside this header and portable.cpp.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <type_traits>

#if defined(_MSC_VER)
#define FS_MSVC 1
#include <intrin.h>
#else
#define FS_MSVC 0
#endif

// 1 where the AVX2 + FMA kernels exist: on x86-64 with any of the three compilers.
#if defined(__x86_64__) || defined(_M_X64)
#define FS_X86_64 1
#else
#define FS_X86_64 0
#endif

// 1 in a translation unit compiled for AVX2 and FMA (-mavx2 -mfma, or /arch:AVX2, which
// implies FMA): the simd/*_avx2.cpp units check it, so a build that forgets their flags fails.
#if defined(__AVX2__) && (defined(__FMA__) || FS_MSVC)
#define FS_AVX2_FMA_UNIT 1
#else
#define FS_AVX2_FMA_UNIT 0
#endif

// Function hints.  FS_ALWAYS_INLINE replaces `inline`: the body is copied into each caller
// (even unoptimised, under GCC and Clang), so no out-of-line copy of it is made.
#if FS_MSVC
#define FS_ALWAYS_INLINE __forceinline
#define FS_NOINLINE __declspec(noinline)
#define FS_COLD
#elif defined(__GNUC__) || defined(__clang__)
#define FS_ALWAYS_INLINE [[gnu::always_inline]] inline
#define FS_NOINLINE [[gnu::noinline]]
#define FS_COLD [[gnu::cold]]
#else
#define FS_ALWAYS_INLINE inline
#define FS_NOINLINE
#define FS_COLD
#endif

namespace fs::portable {

// The index of the lowest set bit of v, which must not be 0 (tzcnt or bsf on x86).
FS_ALWAYS_INLINE int lowest_bit(unsigned v) noexcept { return std::countr_zero(v); }

// out = a + b and out = a * b for 64-bit integers; true when the exact result does not fit
// (out is then unspecified).
template <class Int>
FS_ALWAYS_INLINE bool add_overflows(Int a, Int b, Int* out) noexcept {
    static_assert(std::is_same_v<Int, int64_t> || std::is_same_v<Int, uint64_t>);
#if !FS_MSVC && (defined(__GNUC__) || defined(__clang__))
    return __builtin_add_overflow(a, b, out);
#else
    if constexpr (std::is_unsigned_v<Int>) {
        *out = a + b;  // wraps: defined for unsigned
        return *out < a;
    } else {
        constexpr Int max = std::numeric_limits<Int>::max(), min = std::numeric_limits<Int>::min();
        if ((b > 0 && a > max - b) || (b < 0 && a < min - b)) return true;
        *out = a + b;
        return false;
    }
#endif
}

template <class Int>
FS_ALWAYS_INLINE bool mul_overflows(Int a, Int b, Int* out) noexcept {
    static_assert(std::is_same_v<Int, int64_t> || std::is_same_v<Int, uint64_t>);
#if !FS_MSVC && (defined(__GNUC__) || defined(__clang__))
    return __builtin_mul_overflow(a, b, out);
#else
    if constexpr (std::is_unsigned_v<Int>) {
        if (a != 0 && b > std::numeric_limits<Int>::max() / a) return true;
    } else {
        constexpr Int max = std::numeric_limits<Int>::max(), min = std::numeric_limits<Int>::min();
        const bool fits =
            a == 0 || b == 0 || (a > 0 ? (b > 0 ? a <= max / b : b >= min / a) : (b > 0 ? a >= min / b : a >= max / b));
        if (!fits) return true;
    }
    *out = a * b;
    return false;
#endif
}

// Asks for the cache line holding `p` ahead of its use.  A hint only: nothing is read,
// and no address can fault.
FS_ALWAYS_INLINE void prefetch(const void* p) noexcept {
#if FS_MSVC && FS_X86_64
    _mm_prefetch(static_cast<const char*>(p), _MM_HINT_T0);
#elif FS_MSVC && defined(_M_ARM64)
    __prefetch(p);
#elif defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(p);
#else
    (void)p;
#endif
}

// True when the processor has AVX2 and FMA and the operating system saves the AVX
// registers across context switches; false on every other architecture.  Not inline in a
// hot path: called once, while the library loads.
inline bool cpu_has_avx2_fma() noexcept {
#if FS_X86_64 && !FS_MSVC && (defined(__GNUC__) || defined(__clang__))
    // The library may be loaded before the compiler runtime's own detection has run;
    // asking again is harmless.  Its checks include the operating system's support (XCR0).
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#elif FS_X86_64 && FS_MSVC
    int regs[4];  // eax, ebx, ecx, edx
    __cpuid(regs, 0);
    if (regs[0] < 7) return false;
    __cpuid(regs, 1);
    const unsigned ecx = static_cast<unsigned>(regs[2]);
    const bool fma = (ecx >> 12) & 1u, osxsave = (ecx >> 27) & 1u, avx = (ecx >> 28) & 1u;
    if (!fma || !osxsave || !avx) return false;
    // XCR0 bits 1 and 2: the operating system saves the XMM and the YMM state.
    if ((_xgetbv(0) & 0x6u) != 0x6u) return false;
    __cpuidex(regs, 7, 0);
    return (static_cast<unsigned>(regs[1]) >> 5) & 1u;  // ebx bit 5: AVX2
#else
    return false;
#endif
}

// The last-level cache's size in bytes as the operating system reports it (Linux: sysfs,
// else sysconf; macOS: sysctlbyname; Windows: GetLogicalProcessorInformationEx), or 0 where
// it reports none: the caller then states its default.  Reads the system on every call.
std::size_t last_level_cache_bytes() noexcept;

}  // namespace fs::portable
