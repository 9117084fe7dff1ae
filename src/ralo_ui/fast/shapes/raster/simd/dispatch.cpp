// The kernel tables and the one choice between them, made while the library loads.
#include "dispatch.hpp"

#include "cpu_features.hpp"

namespace fs::simd {

const kernels baseline_kernels = {
    .name = "baseline",
    .corners_scaled = baseline::corners_scaled,
    .corners_kept = baseline::corners_kept,
    .outline_corner = baseline::outline_corner,
    .fill_words = baseline::fill_words,
};

#if FS_HAVE_AVX2_FMA_PATH
const kernels avx2_fma_kernels = {
    .name = "avx2+fma",
    .corners_scaled = avx2_fma::corners_scaled,
    .corners_kept = avx2_fma::corners_kept,
    .outline_corner = avx2_fma::outline_corner,
    .fill_words = avx2_fma::fill_words,
};
#endif

namespace {

const kernels& choose() noexcept {
#if FS_HAVE_AVX2_FMA_PATH && !defined(FS_BASELINE_KERNELS)
    if (detect_avx2_fma()) return avx2_fma_kernels;
#endif
    return baseline_kernels;
}

}  // namespace

const kernels& chosen = choose();

}  // namespace fs::simd
