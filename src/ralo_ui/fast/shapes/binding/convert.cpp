// Boundary conversions: int32, uint8 and float32 with their messages; colour items; corner radii.
#include "convert.hpp"

#include "raster/portable.hpp"
#include "ref.hpp"

#include <cmath>
#include <limits>

namespace fs {
namespace {

// Magnitudes from 2^60 on are left to the interpreter's own conversion and its
// message; below that the module reports the range itself.
constexpr long long own_range_limit = 1LL << 60;

FS_COLD FS_NOINLINE bool overflow(const char* type_name) noexcept {
    PyErr_Format(PyExc_OverflowError, "value too large to convert to %.200s", type_name);
    return false;
}

FS_COLD FS_NOINLINE bool negative(const char* type_name) noexcept {
    PyErr_Format(PyExc_OverflowError, "can't convert negative value to %.200s", type_name);
    return false;
}

// An int, or the result of the object's __int__ (never __index__).  Returns a
// new reference to an int, or nullptr with the error set.
PyObject* as_int(PyObject* obj) noexcept {
    if (PyLong_Check(obj)) return Py_NewRef(obj);
    PyNumberMethods* nb = Py_TYPE(obj)->tp_as_number;
    if (nb == nullptr || nb->nb_int == nullptr) {
        PyErr_SetString(PyExc_TypeError, "an integer is required");
        return nullptr;
    }
    ref result = ref::steal(nb->nb_int(obj));
    if (!result) return nullptr;
    if (PyLong_CheckExact(result.get())) return result.release();
    if (!PyLong_Check(result.get())) {
        PyErr_Format(PyExc_TypeError, "__int__ returned non-int (type %.200s)", Py_TYPE(result.get())->tp_name);
        return nullptr;
    }
    if (PyErr_WarnFormat(PyExc_DeprecationWarning, 1,
                         "__int__ returned non-int (type %.200s).  The ability to return an instance of a "
                         "strict subclass of int is deprecated, and may be removed in a future version of Python.",
                         Py_TYPE(result.get())->tp_name) < 0)
        return nullptr;
    return result.release();
}

}  // namespace

bool to_int32_any(PyObject* obj, int32_t& out) noexcept {
    ref value = ref::steal(as_int(obj));
    if (!value) return false;
    int overflowed = 0;
    long long v = PyLong_AsLongLongAndOverflow(value.get(), &overflowed);
    if (v == -1 && PyErr_Occurred()) return false;
    if (overflowed != 0 || v >= own_range_limit || v <= -own_range_limit) {
        int ignored = PyLong_AsInt(value.get());  // raises the interpreter's OverflowError
        (void)ignored;
        return false;
    }
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) return overflow("int");
    out = static_cast<int32_t>(v);
    return true;
}

bool to_uint8_any(PyObject* obj, uint8_t& out) noexcept {
    ref value = ref::steal(as_int(obj));
    if (!value) return false;
    int sign = 0;
    if (PyLong_GetSign(value.get(), &sign) < 0) return false;
    if (sign < 0) return negative("npy_uint8");
    unsigned long long v = PyLong_AsUnsignedLongLong(value.get());  // 2^64 and above: the interpreter's error
    if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return false;
    if (v > 255) return overflow("npy_uint8");
    out = static_cast<uint8_t>(v);
    return true;
}

namespace {

// What float() of `obj` gives, without the intermediate float object where it can be avoided.
FS_ALWAYS_INLINE bool as_double(PyObject* obj, double& d) noexcept {
    if (PyFloat_CheckExact(obj)) {
        d = PyFloat_AS_DOUBLE(obj);
    } else if (PyLong_CheckExact(obj) && PyUnstable_Long_IsCompact(reinterpret_cast<PyLongObject*>(obj))) {
        // One digit: exact in a double, as float() of it is.
        d = static_cast<double>(PyUnstable_Long_CompactValue(reinterpret_cast<PyLongObject*>(obj)));
    } else if (PyLong_CheckExact(obj)) {
        // What float() of an int gives, without the intermediate float object.
        d = PyLong_AsDouble(obj);
        if (d == -1.0 && PyErr_Occurred()) return false;
    } else {
        d = PyFloat_AsDouble(obj);
        if (d == -1.0 && PyErr_Occurred()) return false;
    }
    return true;
}

}  // namespace

bool to_float32(PyObject* obj, float& out) noexcept {
    double d;
    if (!as_double(obj, d)) return false;
    out = narrow(d);
    return true;
}

bool to_float64(PyObject* obj, double& out) noexcept { return as_double(obj, out); }

PyObject* item(PyObject* seq, Py_ssize_t index) noexcept {
    if (PyTuple_CheckExact(seq) && index < PyTuple_GET_SIZE(seq)) return Py_NewRef(PyTuple_GET_ITEM(seq, index));
    ref key = ref::steal(PyLong_FromSsize_t(index));
    if (!key) return nullptr;
    return PyObject_GetItem(seq, key.get());
}

namespace {

// seq[index] borrowed from an exact tuple that has it (the tuple holds its items for
// as long as the caller holds the tuple), or nullptr: then ordinary indexing decides.
PyObject* tuple_item(PyObject* seq, Py_ssize_t index) noexcept {
    return PyTuple_CheckExact(seq) && index < PyTuple_GET_SIZE(seq) ? PyTuple_GET_ITEM(seq, index) : nullptr;
}

}  // namespace

bool size_item(PyObject* seq, Py_ssize_t index, int32_t& out) noexcept {
    if (PyObject* it = tuple_item(seq, index); it != nullptr && PyLong_CheckExact(it)) return to_int32(it, out);
    ref value = ref::steal(item(seq, index));
    if (!value) return false;
    if (!PyLong_CheckExact(value.get())) {
        value = ref::steal(PyNumber_Long(value.get()));  // int(): truncates floats, parses strings
        if (!value) return false;
    }
    return to_int32(value.get(), out);
}

namespace {

// color[3] converted by `convert` when len(color) > 3, else 255.
template <class T, bool (*convert)(PyObject*, T&) noexcept>
bool alpha_item(PyObject* color, T& alpha) noexcept {
    if (PyTuple_CheckExact(color)) {
        PyObject* a = tuple_item(color, 3);
        if (a == nullptr) alpha = 255;
        return a == nullptr || convert(a, alpha);
    }
    Py_ssize_t n = PyObject_Length(color);
    if (n < 0) return false;
    if (n <= 3) {
        alpha = 255;
        return true;
    }
    ref a = ref::steal(item(color, 3));
    return a && convert(a.get(), alpha);
}

}  // namespace

bool color_alpha(PyObject* color, int32_t& alpha) noexcept { return alpha_item<int32_t, to_int32>(color, alpha); }

bool color_alpha_byte(PyObject* color, uint8_t& alpha) noexcept { return alpha_item<uint8_t, to_uint8>(color, alpha); }

bool color_rgb(PyObject* color, uint8_t rgb[3]) noexcept {
    for (Py_ssize_t i = 0; i < 3; ++i) {
        if (PyObject* it = tuple_item(color, i)) {
            if (!to_uint8(it, rgb[i])) return false;
            continue;
        }
        ref c = ref::steal(item(color, i));
        if (!c || !to_uint8(c.get(), rgb[i])) return false;
    }
    return true;
}

bool read_radii(PyObject* radii_input, corner_radii& out) noexcept {
    // An exact tuple is neither an int nor a float: taking it first skips their subtype tests.
    if (PyTuple_CheckExact(radii_input) && PyTuple_GET_SIZE(radii_input) == 4) {
        // The tuple holds its items for as long as the call holds the tuple.
        float r[4];
        for (Py_ssize_t i = 0; i < 4; ++i)
            if (!to_float32(PyTuple_GET_ITEM(radii_input, i), r[i])) return false;
        out = {r[0], r[1], r[2], r[3]};
        return true;
    }
    if (PyLong_Check(radii_input) || PyFloat_Check(radii_input)) {
        float r;
        if (!to_float32(radii_input, r)) return false;
        out = {r, r, r, r};
        return true;
    }
    Py_ssize_t n = PyObject_Length(radii_input);
    if (n < 0) return false;
    if (n != 4) {
        out = {0.0f, 0.0f, 0.0f, 0.0f};
        return true;
    }
    float r[4];
    for (Py_ssize_t i = 0; i < 4; ++i) {
        ref value = ref::steal(item(radii_input, i));
        if (!value || !to_float32(value.get(), r[i])) return false;
    }
    out = {r[0], r[1], r[2], r[3]};
    return true;
}

}  // namespace fs
