// pixel_view: acquisition of surfarray buffers, their checks and messages, and release.
#define NPY_NO_DEPRECATED_API NPY_2_0_API_VERSION
#include "pixel_view.hpp"

#include "host.hpp"
#include "ref.hpp"
#include "state.hpp"

#include <numpy/ndarraytypes.h>

#include <cstring>

namespace fs {
namespace {

constexpr int buffer_flags = PyBUF_STRIDES | PyBUF_FORMAT | PyBUF_WRITABLE;

// How a format character that is not an unsigned byte is named in the mismatch message.
struct format_name {
    char code;
    const char* name;
};
constexpr format_name format_names[] = {
    {'b', "'signed char'"},
    {'B', "'unsigned char'"},
    {'h', "'short'"},
    {'H', "'unsigned short'"},
    {'i', "'int'"},
    {'I', "'unsigned int'"},
    {'l', "'long'"},
    {'L', "'unsigned long'"},
    {'q', "'long long'"},
    {'Q', "'unsigned long long'"},
    {'n', "'Py_ssize_t'"},
    {'N', "'size_t'"},
    {'e', "'half float'"},
    {'f', "'float'"},
    {'d', "'double'"},
    {'g', "'long double'"},
    {'Z', "a complex number"},
    {'F', "a complex number"},
    {'D', "a complex number"},
    {'P', "a pointer"},
    {'O', "Python object"},
    {'T', "a struct"},
    {'s', "a string"},
    {'p', "a string"},
    {'x', "a pad byte"},
    {'\0', "end"},
};

const char* describe_format(char c) noexcept {
    for (const format_name& f : format_names)
        if (f.code == c) return f.name;
    return "unparseable format string";
}

// The characters of the buffer format syntax: every struct code (a pointer and the complex
// codes included), and the extended ones for long doubles, complex numbers, objects, structs,
// field names and repeat counts.  `c` is not the format's end.
bool is_format_char(char c) noexcept { return std::strchr("?cbBhHiIlLqQnNefdgFDPZOTspx:{}()0123456789", c) != nullptr; }

bool is_byte_item(char c) noexcept { return c == 'B' || c == '?' || c == 'c'; }

// The format after the native byte-order marks "@", "=", "<" and "^".
const char* skip_byte_order(const char* f) noexcept {
    while (*f == '@' || *f == '=' || *f == '<' || *f == '^') ++f;
    return f;
}

// Accepts exactly one unsigned byte item ("B", "?" or "c"), optionally after
// the byte-order marks "@", "=", "<" or "^".
bool check_format(const char* format) noexcept {
    if (format != nullptr && format[0] == 'B' && format[1] == '\0') return true;  // what numpy exports
    const char* f = skip_byte_order(format != nullptr ? format : "B");
    if (*f == '>' || *f == '!') {
        PyErr_SetString(PyExc_ValueError, "Big-endian buffer not supported on little-endian compiler");
        return false;
    }
    if (is_byte_item(*f) && f[1] == '\0') return true;
    if (*f != '\0' && !is_format_char(*f)) {
        PyErr_Format(PyExc_ValueError, "Does not understand character buffer dtype format string ('%c')", *f);
        return false;
    }
    PyErr_Format(PyExc_ValueError, "Buffer dtype mismatch, expected %s%s%s but got %s", "'uint8_t'", "", "",
                 describe_format(is_byte_item(*f) ? f[1] : *f));
    return false;
}

// Indirect buffers: refused unless every suboffset is negative (none is followed).
bool check_direct(const Py_buffer& b, int rank) noexcept {
    if (b.len <= 0 || b.suboffsets == nullptr) return true;
    for (int d = 0; d < rank; ++d) {
        if (b.suboffsets[d] >= 0) {
            PyErr_Format(PyExc_ValueError, "Buffer not compatible with direct access in dimension %d.", d);
            return false;
        }
    }
    if (b.strides == nullptr) {
        PyErr_SetString(PyExc_ValueError, "Buffer exposes suboffsets but no strides");
        return false;
    }
    return true;
}

// A buffer of `rank` dimensions of directly addressed unsigned bytes, or the message why not.
bool check_buffer(const Py_buffer& b, int rank) noexcept {
    if (b.ndim != rank) {
        PyErr_Format(PyExc_ValueError, "Buffer has wrong number of dimensions (expected %d, got %d)", rank, b.ndim);
        return false;
    }
    if (!check_format(b.format)) return false;
    if (b.itemsize != 1) {
        PyErr_Format(PyExc_ValueError, "Item size of buffer (%zd bytes) does not match size of 'uint8_t' (1 byte)",
                     b.itemsize);
        return false;
    }
    return check_direct(b, rank);
}

}  // namespace

bool pixel_view::acquire(PyObject* surf, PyObject* method, int rank) noexcept {
    ref surfarray = pygame_attribute(st.surfarray);
    if (!surfarray) return false;
    ref array = call_method(surfarray.get(), method, surf);
    if (!array) return false;
    if (array.get() == Py_None) {
        PyErr_Format(PyExc_TypeError, "surfarray.%U() returned None instead of a pixel array", method);
        return false;
    }
    return acquire_from(array.get(), rank);  // the export keeps the array alive; our reference goes
}

// numpy's flag for arrays that warn on their first write (not in its public headers): their
// export takes the warning path.
constexpr int npy_warn_on_write = static_cast<int>(1u << 31);

bool pixel_view::acquire_array(PyObject* array, int rank) noexcept {
    if (st.ndarray_type == nullptr || Py_TYPE(array) != st.ndarray_type) return false;
    auto* a = reinterpret_cast<PyArrayObject_fields*>(array);
    // type_num sits at one offset in the descriptors of every numpy ABI; an unsigned byte
    // is one byte wide whatever the rest of the layout.
    if (a->nd != rank || a->descr->type_num != NPY_UBYTE || (a->flags & NPY_ARRAY_WRITEABLE) == 0 ||
        (a->flags & npy_warn_on_write) != 0)
        return false;
    // An empty array's data pointer need point at nothing (an empty surface's pixels3d is
    // NULL + 2): such an array keeps the export's path, and the pointer the export gives.
    for (int d = 0; d < rank; ++d)
        if (a->dimensions[d] == 0) return false;
    data = reinterpret_cast<uint8_t*>(a->data);
    // Rank 2 or 3, spelled out: a loop over the rank is widened behind overlap tests.
    const npy_intp* const dims = a->dimensions;
    const npy_intp* const steps = a->strides;
    const bool third = rank == 3;
    shape[0] = dims[0], strides[0] = steps[0];
    shape[1] = dims[1], strides[1] = steps[1];
    shape[2] = third ? dims[2] : 0, strides[2] = third ? steps[2] : 0;
    array_ = Py_NewRef(array);
    held_ = true;
    return true;
}

bool pixel_view::acquire_from(PyObject* array, int rank) noexcept {
    release();
    if (acquire_array(array, rank)) return true;  // anything else goes through the buffer export
    Py_buffer b;
    if (PyObject_GetBuffer(array, &b, buffer_flags) < 0) return false;
    // From here on `b` is released unless it is handed to the view.
    struct guard {
        Py_buffer* b;
        ~guard() {
            if (b != nullptr) PyBuffer_Release(b);
        }
    } g{&b};
    if (!check_buffer(b, rank)) return false;

    data = static_cast<uint8_t*>(b.buf);
    Py_ssize_t next = 1;  // a buffer without strides is row-major
    for (int d = rank - 1; d >= 0; --d) {
        shape[d] = b.shape != nullptr ? b.shape[d] : (d == 0 ? b.len : 1);
        strides[d] = b.strides != nullptr ? b.strides[d] : next;
        next = strides[d] * shape[d];
    }
    if (rank == 2) shape[2] = strides[2] = 0;  // rank is 2 or 3
    buffer_ = b;
    g.b = nullptr;
    held_ = true;
    return true;
}

void pixel_view::let_go() noexcept {
    FS_CHECK(PyGILState_Check());  // an export is let go only while attached
    held_ = false;
    data = nullptr;
    if (array_ != nullptr)
        Py_CLEAR(array_);
    else
        PyBuffer_Release(&buffer_);
}

bool surface_views::acquire(PyObject* surf) noexcept {
    return color.acquire(surf, st.pixels3d, 3) && alpha.acquire(surf, st.pixels_alpha, 2);
}

bool surface_views::fits(int32_t width, int32_t height) const noexcept {
    if (width <= 0 || height <= 0) return true;  // nothing will be indexed
    if (color.shape[0] >= width && color.shape[1] >= height && color.shape[2] >= 3 && alpha.shape[0] >= width &&
        alpha.shape[1] >= height)
        return true;
    PyErr_Format(PyExc_ValueError,
                 "pixel arrays of %zd x %zd x %zd (colour) and %zd x %zd (alpha) are too small "
                 "for a surface of %d x %d",
                 color.shape[0], color.shape[1], color.shape[2], alpha.shape[0], alpha.shape[1], width, height);
    return false;
}

bool surface_views::alpha_fits(int32_t width, int32_t height) const noexcept {
    if (width <= 0 || height <= 0 || (alpha.shape[0] >= width && alpha.shape[1] >= height)) return true;
    PyErr_Format(PyExc_ValueError, "pixel array of %zd x %zd (alpha) is too small for a surface of %d x %d",
                 alpha.shape[0], alpha.shape[1], width, height);
    return false;
}

}  // namespace fs
