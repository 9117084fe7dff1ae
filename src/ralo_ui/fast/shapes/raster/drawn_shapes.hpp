// The last drawings made on this thread, kept as recordings to be made again elsewhere.
#pragma once

#include "into_surface.hpp"
#include "shadow.hpp"

#include <array>
#include <cstdint>

namespace fs::into_surface {

// What decides a drawing's writes, as bits: its shapes seen from the window (the window's size
// among them), its clip and alike rows relative to the window, and the kernel table (a
// blurred shape's values come from its kernels).  Two drawings with equal keys make the same
// writes, moved by the distance between their windows.
struct drawing_key {
    std::array<uint64_t, 32> bits{};  // 27 used at most: two shapes of 11, 5 more
    bool operator==(const drawing_key&) const = default;
};
drawing_key key_of(const shadow::shape& outer, const shadow::shape* inner, const layer& l,
                   const simd::kernels& k) noexcept;

// A UI draws the same few shapes at many places, frame after frame: this thread keeps its last
// `kept` drawings whole.  recalled gives the one kept for `key`, or null; to_keep gives a
// cleared recording to fill for `key`, in the place of the one used longest ago.
class drawn_shapes {
public:
    static constexpr int kept = 8;
    static drawn_shapes& this_thread() noexcept;

    const recording* recalled(const drawing_key& key) noexcept;
    recording& to_keep(const drawing_key& key) noexcept;

private:
    struct entry {
        drawing_key key;
        recording rec;
        uint64_t used = 0;  // 0: empty
    };
    std::array<entry, kept> entries_;
    uint64_t clock_ = 0;
};

}  // namespace fs::into_surface
