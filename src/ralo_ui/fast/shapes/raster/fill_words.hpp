// Filling runs of equal 4-byte pixels, with the widest stores the processor offers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fs {

// Writes `count` copies of the 4-byte `word` from `dst` on (no alignment needed).
void fill_words(uint8_t* dst, std::size_t count, uint32_t word) noexcept;

// The same bytes as fill_words, stored past the caches where the processor can:
// for surfaces too large to stay cached, whose lines would otherwise be read in
// only to be overwritten and evicted.  Its stores are weakly ordered: a call to
// stream_fence must follow them before the pixels are handed on.
void stream_words(uint8_t* dst, std::size_t count, uint32_t word) noexcept;

// Orders every streamed store made so far by this thread before its later stores.
void stream_fence() noexcept;

// Bytes of pixels from which one call's writes should go through stream_words:
// half the last-level cache the system reports (a fixed 16 MiB when it reports
// none).  Read once.
std::size_t streaming_threshold() noexcept;

}  // namespace fs
