// Word fills: the dispatched fill, every wider variant and the plain loop write the same bytes,
// at any alignment, and nothing past the run.
#include "fill_words.cpp"

#include "common.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const size_t count = in.ConsumeIntegralInRange<size_t>(0, 300);
    const size_t misalign = in.ConsumeIntegralInRange<size_t>(0, 31);
    const uint32_t word = in.ConsumeIntegral<uint32_t>();
    const uint8_t background = in.ConsumeIntegral<uint8_t>();

    const auto run = [&](void (*fill)(uint8_t*, size_t, uint32_t) noexcept) {
        std::vector<uint8_t> bytes(misalign + 4 * count, background);  // ASan: nothing past the run
        fill(bytes.data() + misalign, count, word);
        return bytes;
    };
    const std::vector<uint8_t> want = run(fs::fill_tail);
    fuzz::require_same(run(fs::fill_words), want, "fill_words");
#if FS_FILL_WORDS_X86
    fuzz::require_same(run(fs::fill_sse2), want, "fill_sse2");
    if (fs::cpu_has_avx2) fuzz::require_same(run(fs::fill_avx2), want, "fill_avx2");
#endif
    for (size_t i = 0; i < count; ++i) {
        uint32_t stored;
        std::memcpy(&stored, want.data() + misalign + 4 * i, 4);
        if (stored != word) std::abort();
    }
    return 0;
}
