// Filling runs of equal 4-byte pixels: AVX2 stores when the processor has them, else SSE2 or plain.
#include "fill_words.hpp"

#include "simd/cpu_features.hpp"
#include "simd/dispatch.hpp"

#include <cstring>

#if FS_HAVE_AVX2_FMA_PATH
#include <immintrin.h>
#endif

namespace fs {
namespace {

// The word's bytes in memory order, whatever the width of the store.
void fill_tail(uint8_t* dst, std::size_t count, uint32_t word) noexcept {
    for (std::size_t i = 0; i < count; ++i) std::memcpy(dst + 4 * i, &word, 4);
}

#if FS_HAVE_AVX2_FMA_PATH
// x86-64 is little-endian; SSE2 is part of its baseline: a 32-bit lane stores the word's bytes as memcpy does.
void fill_sse2(uint8_t* dst, std::size_t count, uint32_t word) noexcept {
    const __m128i lanes = _mm_set1_epi32(static_cast<int>(word));
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * i), lanes);
    fill_tail(dst + 4 * i, count - i, word);
}

FS_TARGET_AVX2_FMA void fill_avx2(uint8_t* dst, std::size_t count, uint32_t word) noexcept {
    const __m256i lanes = _mm256_set1_epi32(static_cast<int>(word));
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * i), lanes);
    fill_tail(dst + 4 * i, count - i, word);
}

#endif

}  // namespace

void simd::baseline::fill_words(uint8_t* dst, std::size_t count, uint32_t word) noexcept {
#if FS_HAVE_AVX2_FMA_PATH
    fill_sse2(dst, count, word);
#else
    fill_tail(dst, count, word);
#endif
}
#if FS_HAVE_AVX2_FMA_PATH
void simd::avx2_fma::fill_words(uint8_t* dst, std::size_t count, uint32_t word) noexcept {
    fill_avx2(dst, count, word);
}
#endif

void fill_words(uint8_t* dst, std::size_t count, uint32_t word) noexcept { simd::chosen.fill_words(dst, count, word); }

}  // namespace fs
