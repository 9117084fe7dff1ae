// The corner kernel for AVX2 and FMA: eight pixels per step, and four mirrored corners from one.
#include "dispatch.hpp"
#include "lanes8.hpp"

#include "../corners_rows.hpp"
#include "../portable.hpp"

#if FS_X86_64
#if !FS_AVX2_FMA_UNIT
#error "this unit is compiled for AVX2 and FMA only (-mavx2 -mfma, or /arch:AVX2): see CMakeLists.txt"
#endif

#include <immintrin.h>

// Everything here is in fs::simd::avx2, and what is not an entry of the table has internal
// linkage too: no function compiled for AVX2 can stand in for a baseline one at link time.
namespace fs::simd::avx2 {
namespace {

// Eight pixels per step (the schedule and the truncation are lanes8.hpp's, which
// states their contracts), lane i being pixel x0 + first + i, with the scalar row's
// operations in its order, each correctly rounded as there:
//  - x converted to float (round to nearest), |x - center_x| by clearing the sign bit;
//  - max_ps(a, b) is `a > b ? a : b` and min_ps(a, b) is `a < b ? a : b`, the
//    scalar row's selections exactly, NaN and signed zeros included;
//  - one fused multiply-add and one correctly rounded square root;
//  - ordered comparisons, false for NaN like the scalar ones;
//  - truncation by lanes8::trunc_low8, trunc_to_int32's low eight bits.
// A step reads its eight pixels (kept rule) before writing any, then writes in
// ascending x: the scalar order's result as long as no two pixels of a row share a
// byte, that is sx (the plane's alpha_x) != 0, which the caller checks.
template <edge_rule Rule>
FS_ALWAYS_INLINE void vector_row(uint8_t* row, std::intptr_t sx, corner_geometry g, corner_frame f, row_frame rf,
                                 float alpha) noexcept {
    const __m256 zero = _mm256_setzero_ps();
    const __m256 half = _mm256_set1_ps(0.5f);
    const __m256 minus_half = _mm256_set1_ps(-0.5f);
    const __m256 center_x = _mm256_set1_ps(g.center_x);
    const __m256 k_w = _mm256_set1_ps(f.k_w);
    const __m256 k_a = _mm256_set1_ps(f.k_a);
    const __m256 r = _mm256_set1_ps(f.r);
    const __m256 qy = _mm256_set1_ps(rf.qy);
    const __m256 m_y = _mm256_set1_ps(rf.m_y);
    const __m256 scale = _mm256_set1_ps(alpha);

    for (int32_t start = 0; start < f.n; start += 8) {
        const auto [first, fresh] = lanes8::step_at(start, f.n);
        const int32_t x = f.x0 + first;  // x + 7 < width: no overflow
        const __m256 qx = _mm256_add_ps(lanes8::abs(_mm256_sub_ps(lanes8::columns(x), center_x)), k_w);
        const __m256 m_x = _mm256_max_ps(qx, zero);
        const __m256 dist_outside = _mm256_sqrt_ps(_mm256_fmadd_ps(m_x, m_x, m_y));
        const __m256 dist_inside = _mm256_min_ps(_mm256_max_ps(qx, qy), zero);
        const __m256 d = _mm256_add_ps(dist_outside, dist_inside);
        const __m256 signed_dist = _mm256_sub_ps(d, r);
        const __m256 outside = _mm256_cmp_ps(signed_dist, half, _CMP_GE_OQ);
        const __m256 on_ramp = _mm256_cmp_ps(signed_dist, minus_half, _CMP_GT_OQ);
        const unsigned write = static_cast<unsigned>(_mm256_movemask_ps(_mm256_or_ps(outside, on_ramp))) & fresh;
        if (write == 0) continue;  // all inside: nothing to write

        uint8_t* const p = row + static_cast<std::intptr_t>(x) * sx;
        const __m256 coverage = _mm256_sub_ps(k_a, d);
        __m256 value;
        if constexpr (Rule == edge_rule::scaled) {
            value = _mm256_mul_ps(coverage, scale);
        } else {
            alignas(32) int32_t old[8];
            for (int i = 0; i < 8; ++i) old[i] = p[static_cast<std::intptr_t>(i) * sx];
            value =
                _mm256_mul_ps(_mm256_cvtepi32_ps(_mm256_load_si256(reinterpret_cast<const __m256i*>(old))), coverage);
        }
        // Pixels outside get 0.
        const __m256i stored = _mm256_andnot_si256(_mm256_castps_si256(outside), lanes8::trunc_low8(value));
        const uint64_t bytes = lanes8::low_bytes(stored);
        for (unsigned bits = write; bits != 0; bits &= bits - 1) {
            const int i = portable::lowest_bit(bits);
            p[static_cast<std::intptr_t>(i) * sx] = static_cast<uint8_t>(bytes >> (8 * i));
        }
    }
}

// True when every pixel of the alpha plane has a byte of its own: the order in
// which the corners are written then cannot change what they end as.
inline bool rows_apart(const planes& plane) noexcept {
    const auto size = [](std::intptr_t stride) { return stride < 0 ? -static_cast<int64_t>(stride) : int64_t{stride}; };
    const int64_t x = size(plane.alpha_x), y = size(plane.alpha_y);
    return x != 0 && y / x >= plane.width;
}

// Lanes `write` of `bytes` (lane i in byte i) to four places at once: p and q
// step forward, their mirror images p_mirror and q_mirror backward.  The lanes
// written are one run: along a corner row from the plane's edge inward the
// signed distance never increases (each operation forming it is monotonic and
// so is its rounding), so the pixels outside or on the ramp come first, and the
// step's fresh lanes are the last ones.
FS_ALWAYS_INLINE void put_mirrored(uint8_t* p, uint8_t* p_mirror, uint8_t* q, uint8_t* q_mirror, std::intptr_t sx,
                                   unsigned write, uint64_t bytes) noexcept {
    const int skip = portable::lowest_bit(write);  // write != 0
    const unsigned run = write >> skip;
    FS_CHECK((run & (run + 1)) == 0);
    const std::intptr_t at = static_cast<std::intptr_t>(skip) * sx;
    p += at, p_mirror -= at, q += at, q_mirror -= at;
    bytes >>= 8 * skip;
    for (unsigned left = run; left != 0; left >>= 1, bytes >>= 8) {
        const auto value = static_cast<uint8_t>(bytes);
        *p = value, *p_mirror = value, *q = value, *q_mirror = value;
        p += sx, p_mirror -= sx, q += sx, q_mirror -= sx;
    }
}

// All ones in the lanes whose bit is set in `bits`.
FS_ALWAYS_INLINE __m256i lanes_of(unsigned bits) noexcept {
    const __m256i lane_bits = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
    return _mm256_cmpeq_epi32(_mm256_and_si256(_mm256_set1_epi32(static_cast<int>(bits)), lane_bits), lane_bits);
}

// put_mirrored for packed pixels, a word a pixel: in the lanes set in `lanes`, the low
// byte of `stored` becomes the alpha byte of the eight words from p and from q and, in
// mirror order, of the eight words that end at p_mirror and at q_mirror (those pointing at
// the first byte of their last word).  The words' other bytes, and the alpha bytes of the
// other lanes, are stored back as they were read: only alpha changes, as byte by byte.
FS_ALWAYS_INLINE void put_mirrored_words(uint8_t* p, uint8_t* p_mirror, uint8_t* q, uint8_t* q_mirror, __m256i lanes,
                                         __m256i stored, int alpha_at) noexcept {
    const __m128i shift = _mm_cvtsi32_si128(8 * alpha_at);
    const __m256i mask = _mm256_and_si256(lanes, _mm256_sll_epi32(_mm256_set1_epi32(0xff), shift));
    // The low byte to the alpha byte's place; the mask leaves the rest of the lane out.
    const __m256i value = _mm256_sll_epi32(stored, shift);
    lanes8::store_words(p, _mm256_blendv_epi8(lanes8::load_words(p), value, mask));
    lanes8::store_words(q, _mm256_blendv_epi8(lanes8::load_words(q), value, mask));
    const __m256i mirror_value = lanes8::reversed(value), mirror_mask = lanes8::reversed(mask);
    p_mirror -= 28, q_mirror -= 28;
    lanes8::store_words(p_mirror, _mm256_blendv_epi8(lanes8::load_words(p_mirror), mirror_value, mirror_mask));
    lanes8::store_words(q_mirror, _mm256_blendv_epi8(lanes8::load_words(q_mirror), mirror_value, mirror_mask));
}

// The scaled rule's row of the top-left corner square, stored as well at its
// mirror images: the same row of the top-right square read from the right
// (x -> width - 1 - x) and, at `bottom` (row height - 1 - y), of the bottom
// squares.  Valid when the four corners have one radius and both sides are
// at most 2^24: then |x - center_x| and |y - center_y| are exact and equal at
// mirrored pixels, so every value formed from them is.  `Side`, when not 0,
// is f.n known in advance: the column values then stay put across rows.  With
// alpha_at >= 0 the pixels are packed words (sx == 4) whose alpha byte lies
// alpha_at bytes into the word, and `top` and `bottom` point at the rows' first words.
template <int32_t Side>
FS_ALWAYS_INLINE void mirrored_row(uint8_t* top, uint8_t* bottom, std::intptr_t sx, int32_t width, corner_geometry g,
                                   corner_frame f, row_frame rf, float alpha, int alpha_at) noexcept {
    const __m256 zero = _mm256_setzero_ps();
    const __m256 center_x = _mm256_set1_ps(g.center_x);
    const __m256 k_w = _mm256_set1_ps(f.k_w);
    const __m256 qy = _mm256_set1_ps(rf.qy);
    const __m256 m_y = _mm256_set1_ps(rf.m_y);
    const std::intptr_t last = static_cast<std::intptr_t>(width - 1) * sx;
    const int32_t n = Side != 0 ? Side : f.n;
    for (int32_t start = 0; start < n; start += 8) {
        const auto [first, fresh] = lanes8::step_at(start, n);
        const __m256 qx = _mm256_add_ps(lanes8::abs(_mm256_sub_ps(lanes8::columns(first), center_x)), k_w);
        const __m256 m_x = _mm256_max_ps(qx, zero);
        const __m256 dist_outside = _mm256_sqrt_ps(_mm256_fmadd_ps(m_x, m_x, m_y));
        const __m256 d = _mm256_add_ps(dist_outside, _mm256_min_ps(_mm256_max_ps(qx, qy), zero));
        const __m256 signed_dist = _mm256_sub_ps(d, _mm256_set1_ps(f.r));
        const __m256 outside = _mm256_cmp_ps(signed_dist, _mm256_set1_ps(0.5f), _CMP_GE_OQ);
        const __m256 on_ramp = _mm256_cmp_ps(signed_dist, _mm256_set1_ps(-0.5f), _CMP_GT_OQ);
        const __m256 touched = _mm256_or_ps(outside, on_ramp);
        const unsigned write = static_cast<unsigned>(_mm256_movemask_ps(touched)) & fresh;
        if (write == 0) continue;
        const __m256 value = _mm256_mul_ps(_mm256_sub_ps(_mm256_set1_ps(f.k_a), d), _mm256_set1_ps(alpha));
        const __m256i stored = _mm256_andnot_si256(_mm256_castps_si256(outside), lanes8::trunc_low8(value));
        const std::intptr_t at = static_cast<std::intptr_t>(first) * sx;
        if (alpha_at >= 0) {
            __m256i lanes = _mm256_castps_si256(touched);
            if (fresh != 0xffu) lanes = _mm256_and_si256(lanes, lanes_of(fresh));
            put_mirrored_words(top + at, top + last - at, bottom + at, bottom + last - at, lanes, stored, alpha_at);
            continue;
        }
        put_mirrored(top + at, top + last - at, bottom + at, bottom + last - at, sx, write, lanes8::low_bytes(stored));
    }
}

// Rows 0 .. f.n - 1 of the top-left square and their mirror images; `top` and
// `bottom` are the plane's first and last rows.
template <int32_t Side>
void mirrored_rows(uint8_t* top, uint8_t* bottom, std::intptr_t sx, std::intptr_t sy, int32_t width,
                   const corner_geometry& g, const corner_frame& f, float alpha, int alpha_at) noexcept {
    for (int32_t y = 0; y < f.n; ++y, top += sy, bottom -= sy)
        mirrored_row<Side>(top, bottom, sx, width, g, f, frame_row(g, f, y), alpha, alpha_at);
}

// The four corners from the top-left one's values when they are mirror
// images (see mirrored_row); false, with nothing written, when they are not.
bool mirrored_corners(const planes& plane, const corner_geometry& g, float alpha) noexcept {
    constexpr int32_t exact = int32_t{1} << 24;
    const float r = g.top_left;
    if (!(r == g.top_right && r == g.bottom_left && r == g.bottom_right) || !rows_apart(plane) || plane.width > exact ||
        plane.height > exact)
        return false;
    // The corners are mirror images only about the plane's own centre (exact in single below 2^24).
    if (g.center_x != static_cast<float>(plane.width - 1) * 0.5f ||
        g.center_y != static_cast<float>(plane.height - 1) * 0.5f)
        return false;
    corner_frame f;
    if (!frame_corner(plane, g, 0, f)) return true;  // every corner stays square
    if (f.n < 8) return false;
    // Packed pixels are written a word at a time, from the rows' first words; else byte by
    // byte, from their first alpha bytes.  Passed as values: the stores could alias the
    // plane's fields otherwise.
    packed_pixels px;
    const bool words = px.bind(plane);
    const int alpha_at = words ? px.alpha_offset() : -1;
    uint8_t* const top = words ? px.word_at(0, 0) : plane.alpha;
    uint8_t* const bottom = top + static_cast<std::intptr_t>(plane.height - 1) * plane.alpha_y;
    if (f.n == 8) {  // small corners: one step of columns
        mirrored_rows<8>(top, bottom, plane.alpha_x, plane.alpha_y, plane.width, g, f, alpha, alpha_at);
    } else {
        mirrored_rows<0>(top, bottom, plane.alpha_x, plane.alpha_y, plane.width, g, f, alpha, alpha_at);
    }
    return true;
}

template <edge_rule Rule>
void corners(const planes& plane, const corner_geometry& g, float alpha) noexcept {
    if (Rule == edge_rule::scaled && mirrored_corners(plane, g, alpha)) return;
    for (int corner = 0; corner < 4; ++corner) {
        corner_frame f;
        if (!frame_corner(plane, g, corner, f)) continue;
        const bool wide = f.n >= 8 && plane.alpha_x != 0;
        for (int32_t y = f.y0; y < f.y0 + f.n; ++y) {
            uint8_t* const row = plane.alpha + static_cast<std::intptr_t>(y) * plane.alpha_y;
            if (wide) {
                vector_row<Rule>(row, plane.alpha_x, g, f, frame_row(g, f, y), alpha);
            } else {
                scalar_row<Rule>(row, plane.alpha_x, f.x0, f.x0 + f.n, g, f, frame_row(g, f, y), alpha);
            }
        }
    }
}

}  // namespace

void corners_scaled(const planes& plane, const corner_geometry& g, float alpha) noexcept {
    corners<edge_rule::scaled>(plane, g, alpha);
}
void corners_kept(const planes& plane, const corner_geometry& g, float alpha) noexcept {
    corners<edge_rule::kept>(plane, g, alpha);
}

}  // namespace fs::simd::avx2

#endif
