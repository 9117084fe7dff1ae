// Word fills: every table's fill, the dispatched one and the streamed one write what the plain
// loop writes, from any address and for any length, and nothing outside the run.
#include "fill_words.hpp"

#include "common.hpp"

namespace {

void plain(uint8_t* dst, size_t count, uint32_t word) noexcept {
    for (size_t i = 0; i < count; ++i) std::memcpy(dst + 4 * i, &word, 4);
}
void streamed(uint8_t* dst, size_t count, uint32_t word) noexcept {
    fs::stream_words(dst, count, word);
    fs::stream_fence();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const size_t count =
        in.ConsumeBool() ? in.ConsumeIntegralInRange<size_t>(0, 40) : in.ConsumeIntegralInRange<size_t>(0, 600);
    const size_t misalign = in.ConsumeIntegralInRange<size_t>(0, 63);
    const uint32_t word = in.ConsumeIntegral<uint32_t>();
    const uint8_t background = in.ConsumeIntegral<uint8_t>();

    // A block of exactly `misalign` bytes and the run, from a 64-byte boundary: ASan reports
    // any byte written past the run, the comparison any byte written before it.
    const auto run = [&](void (*fill)(uint8_t*, size_t, uint32_t) noexcept) {
        const size_t n = misalign + 4 * count;
        void* block = nullptr;
        if (posix_memalign(&block, 64, n == 0 ? 1 : n) != 0) std::abort();
        auto* const bytes = static_cast<uint8_t*>(block);
        std::memset(bytes, background, n);
        fill(bytes + misalign, count, word);
        std::vector<uint8_t> result(bytes, bytes + n);
        std::free(block);
        return result;
    };
    const std::vector<uint8_t> want = run(plain);
    for (size_t i = 0; i < count; ++i) {
        uint32_t stored;
        std::memcpy(&stored, want.data() + misalign + 4 * i, 4);
        if (stored != word) std::abort();
    }
    fuzz::require_same(run(fs::fill_words), want, "fill_words");
    fuzz::require_same(run(streamed), want, "stream_words");
    fuzz::require_same(run(fs::simd::baseline_kernels.fill_words), want, fs::simd::baseline_kernels.name);
    for (const fs::simd::kernels* k : fuzz::fast_tables()) fuzz::require_same(run(k->fill_words), want, k->name);
    return 0;
}
