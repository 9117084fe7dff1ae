// Filling runs of equal 4-byte pixels: the baseline fill (SSE2 on x86-64, else plain) and streaming stores.
#include "fill_words.hpp"

#include "fill_runs.hpp"
#include "portable.hpp"
#include "simd/dispatch.hpp"

#if FS_X86_64
#include <emmintrin.h>
#endif

namespace fs {
namespace {

#if FS_X86_64
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

}  // namespace

void simd::baseline::fill_words(uint8_t* dst, std::size_t count, uint32_t word) noexcept {
#if FS_X86_64
    fill_sse2(dst, count, word);
#else
    fill_tail(dst, count, word);
#endif
}

void fill_words(uint8_t* dst, std::size_t count, uint32_t word) noexcept { simd::chosen.fill_words(dst, count, word); }

void stream_words(uint8_t* dst, std::size_t count, uint32_t word) noexcept {
#if FS_X86_64
    stream_sse2(dst, count, word);
#else
    fill_tail(dst, count, word);
#endif
}

void stream_fence() noexcept {
#if FS_X86_64
    _mm_sfence();
#endif
}

std::size_t streaming_threshold() noexcept {
    static const std::size_t threshold = [] {
        const std::size_t cache = portable::last_level_cache_bytes();
        return cache != 0 ? cache / 2 : std::size_t{16} << 20;
    }();
    return threshold;
}

}  // namespace fs
