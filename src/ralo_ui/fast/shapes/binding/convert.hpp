// Conversions of Python objects at the module's boundary, with the module's exact messages.
#pragma once

#include <Python.h>

#include "raster/geometry.hpp"
#include "raster/numeric.hpp"
#include "ref.hpp"

#include <cstdint>

namespace fs {

// Each converter returns false with a Python exception set, true with `out` filled.

// The two integer conversions below whole, out of line; callers use the inline
// entries, which take a one-digit int in range without a call.
bool to_int32_any(PyObject* obj, int32_t& out) noexcept;
bool to_uint8_any(PyObject* obj, uint8_t& out) noexcept;

// Integer conversion to a signed 32-bit value: an int as it is, anything else
// through its type's __int__ (never __index__).  Out of range: OverflowError
// "value too large to convert to int".
inline bool to_int32(PyObject* obj, int32_t& out) noexcept {
    if (PyLong_CheckExact(obj) && PyUnstable_Long_IsCompact(reinterpret_cast<PyLongObject*>(obj))) {
        // One digit: well inside int32 whatever the digit size.
        out = static_cast<int32_t>(PyUnstable_Long_CompactValue(reinterpret_cast<PyLongObject*>(obj)));
        return true;
    }
    return to_int32_any(obj, out);
}

// Unsigned 8-bit conversion (colour components), same route; negative values
// and values above 255 raise OverflowError naming npy_uint8.
inline bool to_uint8(PyObject* obj, uint8_t& out) noexcept {
    if (PyLong_CheckExact(obj) && PyUnstable_Long_IsCompact(reinterpret_cast<PyLongObject*>(obj))) {
        const Py_ssize_t v = PyUnstable_Long_CompactValue(reinterpret_cast<PyLongObject*>(obj));
        if (v >= 0 && v <= 255) {
            out = static_cast<uint8_t>(v);
            return true;
        }
    }
    return to_uint8_any(obj, out);
}

// Float conversion to single precision: an exact float is read directly,
// anything else goes through the interpreter's float conversion.
bool to_float32(PyObject* obj, float& out) noexcept;
// The same conversion, kept in double precision.
bool to_float64(PyObject* obj, double& out) noexcept;

// int(seq[index]) as a signed 32-bit value: an exact int item is taken as it
// is, any other item goes through int() (floats truncate, numeric strings parse).
bool size_item(PyObject* seq, Py_ssize_t index, int32_t& out) noexcept;

// seq[index] by ordinary indexing (a new reference, or nullptr with the error set).
PyObject* item(PyObject* seq, Py_ssize_t index) noexcept;

// The alpha of a colour: int32 of color[3] when len(color) > 3, else 255.
// len() errors (None: "object of type 'NoneType' has no len()") propagate.
bool color_alpha(PyObject* color, int32_t& alpha) noexcept;

// The same alpha range-checked like the colour bytes: to_uint8 of color[3], else 255.
bool color_alpha_byte(PyObject* color, uint8_t& alpha) noexcept;

// color[0], color[1], color[2] as unsigned 8-bit values, in that order.
bool color_rgb(PyObject* color, uint8_t rgb[3]) noexcept;

// The radii a front end passes to its cache: `radii` as it is, or a tuple of its items when it
// is a list (a list could be neither hashed nor accepted as radii), held by `holder`.  False
// with the error set.
inline bool hashable_radii(PyObject*& radii, ref& holder) noexcept {
    if (!PyList_Check(radii)) return true;
    holder = ref::steal(PyList_AsTuple(radii));
    radii = holder.get();
    return radii != nullptr;
}

// The four corner radii as read from `radii_input`: one number for all four, a
// length-4 sequence of numbers, anything else with a length for four zeros.  No
// clamping here; each rasteriser bounds them itself.
bool read_radii(PyObject* radii_input, corner_radii& out) noexcept;

}  // namespace fs
