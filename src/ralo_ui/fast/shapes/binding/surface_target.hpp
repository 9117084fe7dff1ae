// A caller's surface held for drawing into: its pixels, their layout, its clip and the colour it is given.
#pragma once

#include <Python.h>

#include "raster/blend.hpp"
#include "raster/into_surface.hpp"

#include <cstdint>

namespace fs {

// The surface's whole-pixel view (surf.get_view("2")), exported through the buffer protocol:
// pygame keeps the surface locked while the export lives, as its own drawing does for the
// length of a call, and a surface the caller locked stays usable.  Only 24- and 32-bit
// surfaces whose samples are whole bytes are taken.
class surface_target {
public:
    surface_target() noexcept = default;
    ~surface_target() { release(); }
    surface_target(const surface_target&) = delete;
    surface_target& operator=(const surface_target&) = delete;

    // Reads the layout and clip of `surf` and exports its pixels.  ValueError (naming the
    // depths that work) for any other depth, before anything else.
    bool acquire(PyObject* surf) noexcept;
    void release() noexcept;

    into_surface::surface pixels{};
    blend::layout layout{};
    into_surface::box clip{};  // the surface's clip rect, within the surface

private:
    Py_buffer buffer_{};
    bool held_ = false;
};

// The colour as pygame takes it for this surface: a tuple of 3 or 4 ints in 0 .. 255 read
// directly; an int through surf.unmap_rgb; anything else through md.pygame.Color (a Color
// is read as one), whose error a colour it rejects raises.
bool surface_color(PyObject* surf, PyObject* color, uint8_t rgba[4]) noexcept;

// A rect as pygame takes one: four numbers (x, y, w, h) as a sequence (a Rect, an FRect, a
// tuple or list), or a pair of pairs ((x, y), (w, h)).  TypeError "rect argument is invalid"
// for anything else, or a number that is not finite.
bool read_rect(PyObject* rect, double out[4]) noexcept;

// md.pygame.Rect(x, y, w, h).
PyObject* new_rect(int32_t x, int32_t y, int32_t w, int32_t h) noexcept;

}  // namespace fs
