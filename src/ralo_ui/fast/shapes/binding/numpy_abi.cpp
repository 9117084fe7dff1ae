// numpy's C interface and type-size checks, made once while the module initialises.
#define NPY_NO_DEPRECATED_API NPY_2_0_API_VERSION
#include "numpy_abi.hpp"

#include "ref.hpp"
#include "state.hpp"

#include <numpy/ndarraytypes.h>
#include <numpy/ufuncobject.h>

#include <cstring>

namespace fs {
namespace {

// Slots of numpy's C interface table (a stable part of its ABI).
constexpr int api_abi_version = 0;        // unsigned int PyArray_GetNDArrayCVersion(void)
constexpr int api_endianness = 210;       // int PyArray_GetEndianness(void)
constexpr int api_feature_version = 211;  // unsigned int PyArray_GetNDArrayCFeatureVersion(void)

constexpr unsigned int max_abi_version = 0x2000000;
constexpr unsigned int min_feature_version = 0x11;
constexpr int cpu_little_endian = 1;

void** c_api_table() noexcept {
    ref core = ref::steal(PyImport_ImportModule("numpy._core._multiarray_umath"));
    if (!core && PyErr_ExceptionMatches(PyExc_ModuleNotFoundError)) {
        PyErr_Clear();
        core = ref::steal(PyImport_ImportModule("numpy.core._multiarray_umath"));
    }
    if (!core) return nullptr;
    ref capsule = ref::steal(PyObject_GetAttrString(core.get(), "_ARRAY_API"));
    if (!capsule || !PyCapsule_CheckExact(capsule.get())) return nullptr;
    // The table lives in numpy's extension, which stays loaded for the process.
    return static_cast<void**>(PyCapsule_GetPointer(capsule.get(), nullptr));
}

}  // namespace

bool check_numpy_c_api() noexcept {
    void** table = c_api_table();
    bool ok = table != nullptr && reinterpret_cast<unsigned int (*)()>(table[api_abi_version])() <= max_abi_version &&
              reinterpret_cast<unsigned int (*)()>(table[api_feature_version])() >= min_feature_version &&
              reinterpret_cast<int (*)()>(table[api_endianness])() == cpu_little_endian;
    if (ok) return true;
    // Running out of memory says nothing about numpy: that error goes on as it is.
    if (PyErr_ExceptionMatches(PyExc_MemoryError)) return false;
    PyErr_Clear();  // any other reason is not kept
    PyErr_SetString(PyExc_ImportError,
                    "numpy.core.multiarray failed to import (auto-generated because you didn't call "
                    "'numpy.import_array()' after cimporting numpy; use '<void>numpy._import_array' to disable if "
                    "you are certain you don't need it).");
    return false;
}

bool check_numpy_types() noexcept {
    enum class larger { accept, warn };
    struct expected {
        const char* name;
        size_t size;
        size_t alignment;
        larger when_larger;
    };
    static const expected types[] = {
        {"dtype", sizeof(PyArray_Descr), alignof(PyArray_Descr), larger::accept},
        {"flatiter", sizeof(PyArrayIterObject), alignof(PyArrayIterObject), larger::accept},
        {"broadcast", sizeof(PyArrayMultiIterObject), alignof(PyArrayMultiIterObject), larger::accept},
        {"ndarray", sizeof(PyArrayObject_fields), alignof(PyArrayObject_fields), larger::accept},
        {"generic", sizeof(PyObject), alignof(PyObject), larger::warn},
        {"number", sizeof(PyObject), alignof(PyObject), larger::warn},
        {"integer", sizeof(PyObject), alignof(PyObject), larger::warn},
        {"signedinteger", sizeof(PyObject), alignof(PyObject), larger::warn},
        {"unsignedinteger", sizeof(PyObject), alignof(PyObject), larger::warn},
        {"inexact", sizeof(PyObject), alignof(PyObject), larger::warn},
        {"floating", sizeof(PyObject), alignof(PyObject), larger::warn},
        {"complexfloating", sizeof(PyObject), alignof(PyObject), larger::warn},
        {"flexible", sizeof(PyObject), alignof(PyObject), larger::warn},
        {"character", sizeof(PyObject), alignof(PyObject), larger::warn},
        {"ufunc", sizeof(PyUFuncObject), alignof(PyUFuncObject), larger::accept},
    };
    ref numpy = ref::steal(PyImport_ImportModule("numpy"));
    if (!numpy) return false;
    for (const expected& e : types) {
        ref type = ref::steal(PyObject_GetAttrString(numpy.get(), e.name));
        if (!type) return false;
        if (!PyType_Check(type.get())) {
            PyErr_Format(PyExc_TypeError, "%.200s.%.200s is not a type object", "numpy", e.name);
            return false;
        }
        auto* t = reinterpret_cast<PyTypeObject*>(type.get());
        Py_ssize_t basic = t->tp_basicsize;
        Py_ssize_t itemsize = t->tp_itemsize;
        // A variable-sized type counts at least one aligned item.
        if (itemsize != 0 && itemsize < static_cast<Py_ssize_t>(e.alignment)) itemsize = e.alignment;
        auto declared = static_cast<Py_ssize_t>(e.size);
        if (basic + itemsize < declared) {
            PyErr_Format(PyExc_ValueError,
                         "%.200s.%.200s size changed, may indicate binary incompatibility. Expected %zd from C "
                         "header, got %zd from PyObject",
                         "numpy", e.name, declared, basic + itemsize);
            return false;
        }
        if (basic > declared && e.when_larger == larger::warn &&
            PyErr_WarnFormat(PyExc_RuntimeWarning, 0,
                             "%.200s.%.200s size changed, may indicate binary incompatibility. Expected %zd from "
                             "C header, got %zd from PyObject",
                             "numpy", e.name, declared, basic) < 0)
            return false;
        if (std::strcmp(e.name, "ndarray") == 0 && st.ndarray_type == nullptr)
            st.ndarray_type = reinterpret_cast<PyTypeObject*>(type.release());  // kept for the process
    }
    return true;
}

}  // namespace fs
