// The pieces of a word fill that the baseline and the AVX2 fills share: the plain tail and the head count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace fs {
// Internal linkage on purpose: fill_words.cpp and simd/fill_words_avx2.cpp (compiled for
// AVX2) each get their own copy, which the linker cannot merge into one.
namespace {

// The word's bytes in memory order, whatever the width of the store.
inline void fill_tail(uint8_t* dst, std::size_t count, uint32_t word) noexcept {
    for (std::size_t i = 0; i < count; ++i) std::memcpy(dst + 4 * i, &word, 4);
}

// Words before the first `align`-byte boundary, at most `count`.  Pixels of
// a packed surface start on 4-byte boundaries, so whole words reach it; from
// a `dst` that is not 4-byte aligned every word is a head word.
inline std::size_t head_words(const uint8_t* dst, std::size_t count, std::size_t align) noexcept {
    const auto address = reinterpret_cast<std::uintptr_t>(dst);
    if (address % 4 != 0) return count;
    const std::size_t head = ((align - address % align) % align) / 4;
    return head < count ? head : count;
}

}  // namespace
}  // namespace fs
