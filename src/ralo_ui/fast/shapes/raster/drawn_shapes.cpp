// The last drawings made on this thread: keys and the least recently used place.
#include "drawn_shapes.hpp"

#include <bit>

namespace fs::into_surface {
namespace {

struct packer {
    drawing_key key;
    std::size_t n = 0;

    void put(uint64_t v) noexcept { key.bits[n++] = v; }
    void put(double v) noexcept { put(std::bit_cast<uint64_t>(v)); }
    void put(int32_t a, int32_t b) noexcept {
        put((static_cast<uint64_t>(static_cast<uint32_t>(a)) << 32) | static_cast<uint32_t>(b));
    }
    void put(const shadow::shape& s) noexcept {
        put(s.width, s.height);
        for (double v : s.inset) put(v);
        for (double v : s.radii) put(v);
        put(s.sigma);
        put(uint64_t{s.empty ? 1u : 0u});
    }
};

}  // namespace

drawing_key key_of(const shadow::shape& outer, const shadow::shape* inner, const layer& l,
                   const simd::kernels& k) noexcept {
    packer p;
    p.put(outer);
    p.put(uint64_t{inner != nullptr ? 1u : 0u});
    if (inner != nullptr) p.put(*inner);
    p.put(l.clip.x0 - l.window.x0, l.clip.y0 - l.window.y0);
    p.put(l.clip.x1 - l.window.x0, l.clip.y1 - l.window.y0);
    // Alike rows count only where the clip has them: {0, 0} or rows relative to the window.
    const bool alike = l.alike.last > l.alike.first;
    p.put(alike ? l.alike.first - l.window.y0 : 0, alike ? l.alike.last - l.window.y0 : 0);
    p.put(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(&k)));
    return p.key;
}

drawn_shapes& drawn_shapes::this_thread() noexcept {
    thread_local drawn_shapes shapes;
    return shapes;
}

const recording* drawn_shapes::recalled(const drawing_key& key) noexcept {
    for (entry& e : entries_) {
        if (e.used != 0 && e.key == key && e.rec.whole()) {
            e.used = ++clock_;
            return &e.rec;
        }
    }
    return nullptr;
}

recording& drawn_shapes::to_keep(const drawing_key& key) noexcept {
    entry* oldest = &entries_[0];
    for (entry& e : entries_) {
        if (e.used < oldest->used) oldest = &e;
    }
    oldest->key = key;
    oldest->used = ++clock_;
    oldest->rec.clear();
    return oldest->rec;
}

}  // namespace fs::into_surface
