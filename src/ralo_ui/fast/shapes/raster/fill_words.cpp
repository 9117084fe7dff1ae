// Filling runs of equal 4-byte pixels: AVX2 stores when the processor has them, else SSE2 or plain.
#include "fill_words.hpp"

#include "simd/cpu_features.hpp"
#include "simd/dispatch.hpp"

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include <unistd.h>

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
// Words before the first `align`-byte boundary, at most `count`.  Pixels of
// a packed surface start on 4-byte boundaries, so whole words reach it; from
// a `dst` that is not 4-byte aligned every word is a head word.
std::size_t head_words(const uint8_t* dst, std::size_t count, std::size_t align) noexcept {
    const auto address = reinterpret_cast<std::uintptr_t>(dst);
    if (address % 4 != 0) return count;
    const std::size_t head = ((align - address % align) % align) / 4;
    return head < count ? head : count;
}

// x86-64 is little-endian and SSE2 is part of its baseline: a 32-bit lane stores the word's bytes as memcpy does.
// From a 4-byte aligned `dst`, the wide stores between the first and the last
// start at a boundary of their width, so none of them splits across two cache
// lines; the first and the last store (unaligned, overlapping the others with
// the same bytes) cover the words before and after them.
void fill_sse2(uint8_t* dst, std::size_t count, uint32_t word) noexcept {
    const __m128i lanes = _mm_set1_epi32(static_cast<int>(word));
    const auto address = reinterpret_cast<std::uintptr_t>(dst);
    if (count < 4 || address % 4 != 0) {
        std::size_t i = 0;
        for (; i + 4 <= count; i += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * i), lanes);
        fill_tail(dst + 4 * i, count - i, word);
        return;
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), lanes);
    std::size_t i = head_words(dst, count, 16);
    for (; i + 4 <= count; i += 4) _mm_store_si128(reinterpret_cast<__m128i*>(dst + 4 * i), lanes);
    if (i < count) _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * (count - 4)), lanes);
}

FS_TARGET_AVX2_FMA void fill_avx2(uint8_t* dst, std::size_t count, uint32_t word) noexcept {
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

// Ordinary stores up to a cache-line boundary, streaming stores of whole
// 64-byte lines from there, ordinary ones for the tail: no line is written
// both ways, and every streamed line is complete.
void stream_sse2(uint8_t* dst, std::size_t count, uint32_t word) noexcept {
    std::size_t i = head_words(dst, count, 64);
    fill_tail(dst, i, word);
    const __m128i lanes = _mm_set1_epi32(static_cast<int>(word));
    for (; i + 16 <= count; i += 16) {
        auto* const line = reinterpret_cast<__m128i*>(dst + 4 * i);
        _mm_stream_si128(line, lanes);
        _mm_stream_si128(line + 1, lanes);
        _mm_stream_si128(line + 2, lanes);
        _mm_stream_si128(line + 3, lanes);
    }
    fill_tail(dst + 4 * i, count - i, word);
}

#endif

// The last-level cache's size in bytes as the kernel reports it for the
// first processor, or 0.
std::size_t cache_from_sysfs() noexcept {
    std::size_t best = 0;
    for (int index = 0; index < 8; ++index) {
        char path[64];
        std::snprintf(path, sizeof path, "/sys/devices/system/cpu/cpu0/cache/index%d/size", index);
        std::FILE* f = std::fopen(path, "r");
        if (f == nullptr) break;
        unsigned long value = 0;
        char unit = 0;
        const int got = std::fscanf(f, "%lu%c", &value, &unit);
        std::fclose(f);
        if (got < 1) continue;
        const std::size_t bytes = value * (unit == 'K' ? 1024u : unit == 'M' ? 1024u * 1024u : 1u);
        if (bytes > best) best = bytes;  // the last level is the largest
    }
    return best;
}

// The kernel's report, else the C library's (where /sys is not mounted), else 0.
std::size_t last_level_cache() noexcept {
    if (const std::size_t bytes = cache_from_sysfs()) return bytes;
#if defined(_SC_LEVEL3_CACHE_SIZE) && defined(_SC_LEVEL2_CACHE_SIZE)
    for (const int name : {_SC_LEVEL3_CACHE_SIZE, _SC_LEVEL2_CACHE_SIZE}) {
        const long bytes = sysconf(name);
        if (bytes > 0) return static_cast<std::size_t>(bytes);
    }
#endif
    return 0;
}

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

void stream_words(uint8_t* dst, std::size_t count, uint32_t word) noexcept {
#if FS_HAVE_AVX2_FMA_PATH
    stream_sse2(dst, count, word);
#else
    fill_tail(dst, count, word);
#endif
}

void stream_fence() noexcept {
#if FS_HAVE_AVX2_FMA_PATH
    _mm_sfence();
#endif
}

std::size_t streaming_threshold() noexcept {
    static const std::size_t threshold = [] {
        const std::size_t cache = last_level_cache();
        return cache != 0 ? cache / 2 : std::size_t{16} << 20;
    }();
    return threshold;
}

}  // namespace fs
