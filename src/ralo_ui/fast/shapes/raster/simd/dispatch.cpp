// The kernel tables and the one choice between them, made while the library loads.
#include "dispatch.hpp"

#include "cpu_features.hpp"

namespace fs::simd {

const kernels baseline_kernels = {
    "baseline", baseline::corners_scaled, baseline::corners_kept, baseline::outline_corner,
    baseline::fill_words,
};

#if FS_HAVE_AVX2_FMA_PATH
const kernels avx2_fma_kernels = {
    "avx2+fma", avx2_fma::corners_scaled, avx2_fma::corners_kept, avx2_fma::outline_corner,
    avx2_fma::fill_words,
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
