// Filling runs of equal 4-byte pixels: AVX2 stores when the processor has them, else SSE2 or plain.
#include "fill_words.hpp"

#include "simd/cpu_features.hpp"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define FS_FILL_WORDS_X86 1
#endif

namespace fs {
namespace {

// The word's bytes in memory order, whatever the width of the store.
void fill_tail(uint8_t* dst, std::size_t count, uint32_t word) noexcept {
    for (std::size_t i = 0; i < count; ++i) std::memcpy(dst + 4 * i, &word, 4);
}

#if FS_FILL_WORDS_X86
// x86 is little-endian: a 32-bit lane stores the word's bytes as memcpy does.
void fill_sse2(uint8_t* dst, std::size_t count, uint32_t word) noexcept {
    const __m128i lanes = _mm_set1_epi32(static_cast<int>(word));
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * i), lanes);
    fill_tail(dst + 4 * i, count - i, word);
}

__attribute__((target("avx2"))) void fill_avx2(uint8_t* dst, std::size_t count,
                                               uint32_t word) noexcept {
    const __m256i lanes = _mm256_set1_epi32(static_cast<int>(word));
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * i), lanes);
    fill_tail(dst + 4 * i, count - i, word);
}

using fill_fn = void (*)(uint8_t*, std::size_t, uint32_t) noexcept;

fill_fn best_fill() noexcept { return cpu_has_avx2 ? fill_avx2 : fill_sse2; }
#endif

}  // namespace

void fill_words(uint8_t* dst, std::size_t count, uint32_t word) noexcept {
#if FS_FILL_WORDS_X86
    static const fill_fn fill = best_fill();  // chosen once, on the first call
    fill(dst, count, word);
#else
    fill_tail(dst, count, word);
#endif
}

}  // namespace fs
