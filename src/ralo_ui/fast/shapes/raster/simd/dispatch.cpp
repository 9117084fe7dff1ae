// The kernel tables and the one choice between them, made while the library loads.
#include "dispatch.hpp"

#include <cstdlib>
#include <cstring>

namespace fs::simd {

const kernels baseline_kernels = {
    .name = "baseline",
    .corners_scaled = baseline::corners_scaled,
    .corners_kept = baseline::corners_kept,
    .outlined_corner = baseline::outlined_corner,
    .squares_mirrored = baseline::squares_mirrored,
    .mirror_top_left = baseline::mirror_top_left,
    .fill_words = baseline::fill_words,
    .shadow_tails = baseline::shadow_tails,
    .shadow_dot = baseline::shadow_dot,
    .shadow_cut_row = baseline::shadow_cut_row,
    .blend_row = baseline::blend_row,
};

#if FS_HAVE_AVX2_FMA_PATH
const kernels avx2_fma_kernels = {
    .name = "avx2+fma",
    .corners_scaled = avx2::corners_scaled,
    .corners_kept = avx2::corners_kept,
    .outlined_corner = avx2::outlined_corner,
    .squares_mirrored = avx2::squares_mirrored,
    .mirror_top_left = avx2::mirror_top_left,
    .fill_words = avx2::fill_words,
    .shadow_tails = avx2::shadow_tails,
    .shadow_dot = avx2::shadow_dot,
    .shadow_cut_row = avx2::shadow_cut_row,
    .blend_row = avx2::blend_row,
};
const char* const accepted_kernels = "auto, baseline, avx2+fma";
#else
const char* const accepted_kernels = "auto, baseline";
#endif

namespace {

// The processor's best table.
const kernels& best() noexcept {
#if FS_HAVE_AVX2_FMA_PATH
    if (detect_avx2_fma()) return avx2_fma_kernels;
#endif
    return baseline_kernels;
}

choice made{request::automatic, {}};

// Reads RALO_UI_KERNELS once and records what it asked for in `made`.  A table is only
// taken when this processor runs it: a name cannot force instructions it lacks.
const kernels& choose() noexcept {
    const char* value = std::getenv("RALO_UI_KERNELS");
    if (value == nullptr || value[0] == '\0' || std::strcmp(value, "auto") == 0) return best();
    std::strncpy(made.value, value, sizeof made.value - 1);
    const kernels* named = nullptr;
    if (std::strcmp(value, baseline_kernels.name) == 0) named = &baseline_kernels;
#if FS_HAVE_AVX2_FMA_PATH
    if (std::strcmp(value, avx2_fma_kernels.name) == 0) named = &avx2_fma_kernels;
#endif
    if (named == nullptr) {
        made.outcome = request::unknown;
        return best();
    }
    if (named != &baseline_kernels && named != &best()) {
        made.outcome = request::unsupported;
        return best();
    }
    made.outcome = request::named;
    return *named;
}

}  // namespace

// Dynamic initialisation, in this unit's order: `made` is filled before anyone can ask.
const kernels& chosen = choose();

const choice& kernel_choice() noexcept { return made; }

}  // namespace fs::simd
