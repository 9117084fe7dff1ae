// Native entries of the four rasterisers.  Each returns a new reference, or
// nullptr with a Python exception set; none adds a traceback entry itself.
#pragma once

#include <Python.h>

#include <cstdint>

namespace fs {

// A new surface of `size`, filled with `color`, its corners rounded with per-corner radii.
PyObject* filled_surface(PyObject* size, PyObject* radii_input, PyObject* color) noexcept;

// A new transparent surface of `size` with an outline of `width` and one corner `radius`.
PyObject* outlined_surface(PyObject* size, int32_t radius, float width, PyObject* color) noexcept;

// Cuts the corners of `surf` in place, optionally filling it with `color` first; returns None.
PyObject* round_in_place(PyObject* surf, PyObject* radii_input, PyObject* color) noexcept;

// Draws an outline over `surf` in place, optionally over a background; returns None.
PyObject* outline_in_place(PyObject* surf, PyObject* radii_input, float stroke_width, PyObject* color,
                           PyObject* background_color) noexcept;

}  // namespace fs
