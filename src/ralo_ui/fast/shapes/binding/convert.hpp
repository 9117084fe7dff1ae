// Conversions of Python objects at the module's boundary, with the module's exact messages.
#pragma once

#include <Python.h>

#include "raster/geometry.hpp"
#include "raster/numeric.hpp"

#include <cstdint>

namespace fs {

// Each converter returns false with a Python exception set, true with `out` filled.

// Integer conversion to a signed 32-bit value: an int as it is, anything else
// through its type's __int__ (never __index__).  Out of range: OverflowError
// "value too large to convert to int".
bool to_int32(PyObject* obj, int32_t& out) noexcept;

// Unsigned 8-bit conversion (colour components), same route; negative values
// and values above 255 raise OverflowError naming npy_uint8.
bool to_uint8(PyObject* obj, uint8_t& out) noexcept;

// Float conversion to single precision: an exact float is read directly,
// anything else goes through the interpreter's float conversion.
bool to_float32(PyObject* obj, float& out) noexcept;

// int(seq[index]) as a signed 32-bit value: an exact int item is taken as it
// is, any other item goes through int() (floats truncate, numeric strings parse).
bool size_item(PyObject* seq, Py_ssize_t index, int32_t& out) noexcept;

// seq[index] by ordinary indexing (a new reference, or nullptr with the error set).
PyObject* item(PyObject* seq, Py_ssize_t index) noexcept;

// The alpha of a colour: int32 of color[3] when len(color) > 3, else 255.
// len() errors (None: "object of type 'NoneType' has no len()") propagate.
bool color_alpha(PyObject* color, int32_t& alpha) noexcept;

// color[0], color[1], color[2] as unsigned 8-bit values, in that order.
bool color_rgb(PyObject* color, uint8_t rgb[3]) noexcept;

// The four corner radii as read from `radii_input`: one number for all four, a
// length-4 sequence of numbers, anything else with a length for four zeros.  No
// clamping here; each rasteriser bounds them itself.
bool read_radii(PyObject* radii_input, corner_radii& out) noexcept;

}  // namespace fs
