// Filling runs of equal 4-byte pixels, with the widest stores the processor offers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fs {

// Writes `count` copies of the 4-byte `word` from `dst` on (no alignment needed).
void fill_words(uint8_t* dst, std::size_t count, uint32_t word) noexcept;

}  // namespace fs
