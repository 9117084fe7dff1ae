// What every harness shares: parameter decoding, exactly sized planes, and the byte comparison.
#pragma once

#include "simd/dispatch.hpp"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

namespace fuzz {

// A float that is often one of the values kernels get wrong: NaN, infinities, signed zeros,
// the edges of the float and int32 ranges, halves; otherwise a moderate value within +-range,
// in steps of 1/16 or with every mantissa bit in use, or any bit pattern at all.  Products
// round only with the full mantissas: the square of a moderate value in steps of 1/16 is exact
// in single precision, so a fused multiply-add and a multiply then add agree on it.
inline float pick_float(FuzzedDataProvider& in, float range) {
    static const float special[] = {std::numeric_limits<float>::quiet_NaN(),
                                    std::numeric_limits<float>::infinity(),
                                    -std::numeric_limits<float>::infinity(),
                                    0.0f,
                                    -0.0f,
                                    0.5f,
                                    -0.5f,
                                    1.0f,
                                    1e-45f,
                                    std::numeric_limits<float>::max(),
                                    -std::numeric_limits<float>::max(),
                                    2147483648.0f,
                                    -2147483648.0f,
                                    16777217.0f,
                                    0x1p60f,
                                    0x1p61f,
                                    1e30f,
                                    255.0f,
                                    256.0f};
    switch (in.ConsumeIntegralInRange<int>(0, 7)) {
        case 0:
            return special[in.ConsumeIntegralInRange<size_t>(0, sizeof special / sizeof *special - 1)];
        case 1: {
            const uint32_t bits = in.ConsumeIntegral<uint32_t>();
            float f;
            std::memcpy(&f, &bits, 4);
            return f;
        }
        case 2:
        case 3: {
            const double unit = static_cast<double>(in.ConsumeIntegral<uint32_t>()) * 0x1p-31 - 1.0;  // [-1, 1)
            return static_cast<float>(unit * static_cast<double>(range));
        }
        default:
            return static_cast<float>(in.ConsumeIntegralInRange<int32_t>(static_cast<int32_t>(-range * 16),
                                                                         static_cast<int32_t>(range * 16))) /
                   16.0f;
    }
}

// An int32 that is often at the edge of its range.
inline int32_t pick_int(FuzzedDataProvider& in, int32_t lo, int32_t hi) {
    static const int32_t special[] = {std::numeric_limits<int32_t>::min(),
                                      std::numeric_limits<int32_t>::max(),
                                      0,
                                      -1,
                                      1,
                                      255,
                                      256,
                                      1 << 24,
                                      (1 << 30) + 1,
                                      -(1 << 30)};
    if (in.ConsumeIntegralInRange<int>(0, 7) == 0)
        return special[in.ConsumeIntegralInRange<size_t>(0, sizeof special / sizeof *special - 1)];
    return in.ConsumeIntegralInRange<int32_t>(lo, hi);
}

// Byte offsets of a strided set of addresses: every sum of i * stride[d] with 0 <= i < count[d].
struct extent {
    std::ptrdiff_t low = 0, high = 0;
    void cover(std::ptrdiff_t origin, const std::ptrdiff_t* count, const std::ptrdiff_t* stride, int rank) {
        std::ptrdiff_t lo = origin, hi = origin;
        for (int d = 0; d < rank; ++d) {
            const std::ptrdiff_t span = (count[d] - 1) * stride[d];
            (span < 0 ? lo : hi) += span;
        }
        if (empty || lo < low) low = lo;
        if (empty || hi > high) high = hi;
        empty = false;
    }
    bool empty = true;
};

// Bytes exactly covering [low, high] of an extent: ASan reports any access outside them.
// Filled from the input (cycled), so that kernels which read old pixels see varied content.
struct arena {
    std::vector<uint8_t> bytes;
    std::ptrdiff_t origin = 0;  // where offset 0 lies in `bytes`
    arena(const extent& e, FuzzedDataProvider& in) : bytes(static_cast<size_t>(e.high - e.low + 1)), origin(-e.low) {
        const std::vector<uint8_t> seed = in.ConsumeBytes<uint8_t>(64);
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = seed.empty() ? static_cast<uint8_t>(i * 37) : seed[i % seed.size()];
    }
    uint8_t* at(std::ptrdiff_t offset) { return bytes.data() + origin + offset; }
};

// Every kernel table this processor can run other than the baseline one, which the
// harnesses take as the reference's.  The chosen table comes first when it is not the baseline.
inline std::vector<const fs::simd::kernels*> fast_tables() {
    std::vector<const fs::simd::kernels*> tables;
    if (&fs::simd::chosen != &fs::simd::baseline_kernels) tables.push_back(&fs::simd::chosen);
#if FS_HAVE_AVX2_FMA_PATH
    if (fs::simd::detect_avx2_fma() && &fs::simd::chosen != &fs::simd::avx2_fma_kernels)
        tables.push_back(&fs::simd::avx2_fma_kernels);
#endif
    return tables;
}

// Stops the run, naming the first differing byte and then, through `tell`, the case, when two
// results differ.
template <class Tell>
void require_same(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want, const char* what, Tell tell) {
    if (got == want) return;
    size_t i = 0;
    while (got[i] == want[i]) ++i;
    std::fprintf(stderr, "%s: byte %zu is %u, the reference wrote %u\n", what, i, got[i], want[i]);
    tell();
    std::abort();
}
inline void require_same(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want, const char* what) {
    require_same(got, want, what, [] {});
}

}  // namespace fuzz
