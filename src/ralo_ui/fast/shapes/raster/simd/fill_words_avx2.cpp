// Filling runs of equal 4-byte pixels with 32-byte AVX2 stores.
#include "dispatch.hpp"

#include "../fill_runs.hpp"
#include "../portable.hpp"

#if FS_X86_64
#if !FS_AVX2_FMA_UNIT
#error "this unit is compiled for AVX2 and FMA only (-mavx2 -mfma, or /arch:AVX2): see CMakeLists.txt"
#endif

#include <immintrin.h>

namespace fs::simd::avx2 {

// From a 4-byte aligned `dst`, the wide stores between the first and the last start at a
// boundary of their width, so none of them splits across two cache lines; the first and
// the last store (unaligned, overlapping the others with the same bytes) cover the words
// before and after them.  x86-64 is little-endian: a 32-bit lane stores the word's bytes as
// memcpy does.
void fill_words(uint8_t* dst, std::size_t count, uint32_t word) noexcept {
    const __m256i lanes = _mm256_set1_epi32(static_cast<int>(word));
    const auto address = reinterpret_cast<std::uintptr_t>(dst);
    if (count < 8 || address % 4 != 0) {
        std::size_t i = 0;
        for (; i + 8 <= count; i += 8) _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * i), lanes);
        fill_tail(dst + 4 * i, count - i, word);
        return;
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), lanes);
    std::size_t i = head_words(dst, count, 32);
    for (; i + 8 <= count; i += 8) _mm256_store_si256(reinterpret_cast<__m256i*>(dst + 4 * i), lanes);
    if (i < count) _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * (count - 8)), lanes);
}

}  // namespace fs::simd::avx2

#endif
