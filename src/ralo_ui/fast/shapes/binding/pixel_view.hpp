// pixel_view: a typed, strided view of one plane of a surface's pixels, owned RAII-style.
#pragma once

#include <Python.h>

#include "raster/planes.hpp"

#include <cstddef>
#include <cstdint>

namespace fs {

// A view holds a buffer export of the array that pygame's surfarray returned,
// or, for a writable uint8 numpy array, a reference to the array itself, read
// directly; either keeps the array, and so pygame's lock on the surface, alive
// until release().  Pixels are addressed through surface_views::as_planes(), a bare
// address computation: callers check the extents of the views once with fits()
// or alpha_fits() and then index within them.
class pixel_view {
public:
    pixel_view() noexcept = default;
    ~pixel_view() { release(); }
    pixel_view(const pixel_view&) = delete;
    pixel_view& operator=(const pixel_view&) = delete;

    // md.pygame.surfarray.<method>(surf) converted to a view of `rank` dimensions.
    bool acquire(PyObject* surf, PyObject* method, int rank) noexcept;
    // Converts an exporting object to a view of `rank` dimensions (2 or 3).
    bool acquire_from(PyObject* array, int rank) noexcept;
    // Releases the export; does nothing on an empty view (without a call: the views'
    // destructors release each view twice).
    void release() noexcept {
        if (held_) let_go();
    }

    uint8_t* data = nullptr;
    Py_ssize_t shape[3] = {0, 0, 0};
    Py_ssize_t strides[3] = {0, 0, 0};

private:
    // An exact, writable numpy array of unsigned bytes and `rank` dimensions: read
    // from its fields, as its buffer export would give it, and held by reference.
    bool acquire_array(PyObject* array, int rank) noexcept;
    // release() of a held view.
    void let_go() noexcept;

    Py_buffer buffer_;           // read only while held_ and array_ is nullptr
    PyObject* array_ = nullptr;  // strong, when the view was read from the array directly
    bool held_ = false;
};

// The colour (pixels3d) and alpha (pixels_alpha) views of one surface.  They
// are acquired colour first and released colour first, on every path.
struct surface_views {
    pixel_view color;
    pixel_view alpha;

    surface_views() noexcept = default;
    ~surface_views() { release(); }
    surface_views(const surface_views&) = delete;
    surface_views& operator=(const surface_views&) = delete;

    bool acquire(PyObject* surf) noexcept;
    void release() noexcept {
        color.release();
        alpha.release();
    }
    // False with ValueError unless both views cover width x height pixels (and
    // three colour channels): the rasterisers index every pixel of that size.
    bool fits(int32_t width, int32_t height) const noexcept;
    // Both views as the kernels see them: planes of width x height pixels
    // (checked by fits() first).
    planes as_planes(int32_t width, int32_t height) const noexcept {
        return {
            .color = color.data,
            .color_x = color.strides[0],
            .color_y = color.strides[1],
            .channel = color.strides[2],
            .alpha = alpha.data,
            .alpha_x = alpha.strides[0],
            .alpha_y = alpha.strides[1],
            .width = width,
            .height = height,
        };
    }
    // The same for the alpha view alone, for the rasterisers that hold the colour
    // view but never read or write it: its extents are no concern of theirs.
    bool alpha_fits(int32_t width, int32_t height) const noexcept;
};

}  // namespace fs
