// Holding a caller's surface for drawing: its depth, layout, clip and pixels; its colour and rect arguments.
#include "surface_target.hpp"

#include "convert.hpp"
#include "host.hpp"
#include "raster/portable.hpp"
#include "ref.hpp"

#include <algorithm>
#include <bit>
#include <cmath>

namespace fs {
namespace {

// Four ints from a 4-sequence (the surface's masks or clip rect); a tuple's items are read in place.
bool four_ints(PyObject* seq, int64_t out[4]) noexcept {
    const bool tuple = PyTuple_CheckExact(seq) && PyTuple_GET_SIZE(seq) == 4;
    for (Py_ssize_t i = 0; i < 4; ++i) {
        ref v = tuple ? ref::borrow(PyTuple_GET_ITEM(seq, i)) : ref::steal(PySequence_GetItem(seq, i));
        if (!v) return false;
        const long long n = PyLong_AsLongLong(v.get());
        if (n == -1 && PyErr_Occurred()) return false;
        out[i] = n;
    }
    return true;
}

// The byte of a pixel of `bytes` bytes that holds the sample under `mask` (its shift is where the
// mask begins, as the surface's own shifts say), or -1 when the sample is not a whole byte.
int byte_of(int64_t mask, int bytes) noexcept {
    if (mask <= 0 || mask > 0xffffffff) return -1;
    const int shift = std::countr_zero(static_cast<uint64_t>(mask));
    if (shift % 8 != 0 || shift / 8 >= bytes || mask != (int64_t{0xff} << shift)) return -1;
    const int b = shift / 8;
    return std::endian::native == std::endian::little ? b : bytes - 1 - b;
}

bool read_layout(PyObject* surf, int bytes, blend::layout& out) noexcept {
    ref masks_obj = call_getter(surf, st.get_masks);
    int64_t masks[4];
    if (!masks_obj || !four_ints(masks_obj.get(), masks)) return false;
    int off[4];
    for (int c = 0; c < 4; ++c) off[c] = masks[c] == 0 && c == 3 ? -1 : byte_of(masks[c], bytes);
    const bool whole = off[0] >= 0 && off[1] >= 0 && off[2] >= 0 && (masks[3] == 0 || off[3] >= 0);
    if (!whole) {
        PyErr_SetString(PyExc_ValueError,
                        "the surface's samples are not whole bytes: can only draw on 24- and 32-bit "
                        "surfaces with 8 bits a sample");
        return false;
    }
    out = {bytes, off[0], off[1], off[2], off[3]};
    return true;
}

bool read_clip(PyObject* surf, into_surface::box& clip) noexcept {
    ref rect = call_getter(surf, st.get_clip);
    int64_t r[4];
    if (!rect || !four_ints(rect.get(), r)) return false;
    const auto within = [](int64_t v, int32_t hi) { return static_cast<int32_t>(std::clamp<int64_t>(v, 0, hi)); };
    clip = {within(r[0], clip.x1), within(r[1], clip.y1), within(r[0] + r[2], clip.x1), within(r[1] + r[3], clip.y1)};
    return true;
}

FS_COLD FS_NOINLINE bool invalid_rect() noexcept {
    PyErr_SetString(PyExc_TypeError, "rect argument is invalid");
    return false;
}

// n numbers of a sequence into out[0 .. n), each finite.
bool numbers(PyObject* seq, Py_ssize_t n, double* out) noexcept {
    if (!PySequence_Check(seq) || PySequence_Size(seq) != n) {
        PyErr_Clear();
        return invalid_rect();
    }
    for (Py_ssize_t i = 0; i < n; ++i) {
        ref v = ref::steal(PySequence_GetItem(seq, i));
        if (!v || !PyNumber_Check(v.get()) || !to_float64(v.get(), out[i]) || !std::isfinite(out[i])) {
            PyErr_Clear();
            return invalid_rect();
        }
    }
    return true;
}

}  // namespace

bool surface_target::acquire(PyObject* surf) noexcept {
    ref size = call_getter(surf, st.get_bytesize);
    if (!size) return false;
    const long bytes = PyLong_AsLong(size.get());
    if (bytes == -1 && PyErr_Occurred()) return false;
    if (bytes != 3 && bytes != 4) {
        PyErr_Format(PyExc_ValueError, "can only draw on 24- and 32-bit surfaces, not on a %ld-bit one", bytes * 8);
        return false;
    }
    if (!read_layout(surf, static_cast<int>(bytes), layout)) return false;
    ref view = call_method(surf, st.get_view, st.view_kind);
    if (!view || PyObject_GetBuffer(view.get(), &buffer_, PyBUF_RECORDS) != 0) return false;
    held_ = true;
    const bool expected = buffer_.ndim == 2 && buffer_.strides[0] == bytes && buffer_.shape[0] <= INT32_MAX &&
                          buffer_.shape[1] <= INT32_MAX && buffer_.buf != nullptr;
    if (!expected) {
        PyErr_SetString(PyExc_ValueError, "the surface's pixel view is not one of rows of whole pixels");
        return false;
    }
    pixels = {static_cast<uint8_t*>(buffer_.buf), buffer_.strides[1], static_cast<int32_t>(buffer_.shape[0]),
              static_cast<int32_t>(buffer_.shape[1])};
    clip = {0, 0, pixels.width, pixels.height};
    return read_clip(surf, clip);
}

void surface_target::release() noexcept {
    if (!held_) return;
    held_ = false;
    PyBuffer_Release(&buffer_);
}

namespace {

// An exact tuple of three or four one-digit ints in 0..255, read without a call; false (and
// nothing set) for anything else.
bool plain_color(PyObject* color, uint8_t rgba[4]) noexcept {
    if (!PyTuple_CheckExact(color) || (PyTuple_GET_SIZE(color) != 3 && PyTuple_GET_SIZE(color) != 4)) return false;
    uint8_t out[4] = {0, 0, 0, 255};
    for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(color); ++i) {
        PyObject* v = PyTuple_GET_ITEM(color, i);
        const bool small = PyLong_CheckExact(v) && PyUnstable_Long_IsCompact(reinterpret_cast<PyLongObject*>(v));
        const Py_ssize_t n = small ? PyUnstable_Long_CompactValue(reinterpret_cast<PyLongObject*>(v)) : -1;
        if (n < 0 || n > 255) return false;
        out[i] = static_cast<uint8_t>(n);
    }
    for (int i = 0; i < 4; ++i) rgba[i] = out[i];
    return true;
}

}  // namespace

bool surface_color(PyObject* surf, PyObject* color, uint8_t rgba[4]) noexcept {
    if (plain_color(color, rgba)) return true;
    ref c;
    if (PyLong_Check(color)) {
        c = call_method(surf, st.unmap_rgb, color);
    } else {
        ref type = pygame_attribute(st.Color);
        if (type) c = ref::steal(PyObject_CallOneArg(type.get(), color));
    }
    if (!c) return false;
    for (Py_ssize_t i = 0; i < 4; ++i) {
        ref v = ref::steal(PySequence_GetItem(c.get(), i));
        if (!v || !to_uint8(v.get(), rgba[i])) return false;
    }
    return true;
}

bool read_rect(PyObject* rect, double out[4]) noexcept {
    if (PySequence_Check(rect) && PySequence_Size(rect) == 2) {
        ref pos = ref::steal(PySequence_GetItem(rect, 0));
        ref size = pos ? ref::steal(PySequence_GetItem(rect, 1)) : ref();
        if (!size) {
            PyErr_Clear();
            return invalid_rect();
        }
        return numbers(pos.get(), 2, out) && numbers(size.get(), 2, out + 2);
    }
    PyErr_Clear();
    return numbers(rect, 4, out);
}

PyObject* new_rect(int32_t x, int32_t y, int32_t w, int32_t h) noexcept {
    ref type = pygame_attribute(st.Rect);
    if (!type) return nullptr;
    ref v[4] = {ref::steal(PyLong_FromLong(x)), ref::steal(PyLong_FromLong(y)), ref::steal(PyLong_FromLong(w)),
                ref::steal(PyLong_FromLong(h))};
    if (!v[0] || !v[1] || !v[2] || !v[3]) return nullptr;
    PyObject* args[] = {v[0].get(), v[1].get(), v[2].get(), v[3].get()};
    return PyObject_Vectorcall(type.get(), args, 4, nullptr);
}

}  // namespace fs
