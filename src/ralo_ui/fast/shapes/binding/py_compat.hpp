// The few C-API calls of CPython 3.13 and 3.14 that this module uses, provided on the
// older supported interpreters with the same contract and the interpreter's own wording.
#pragma once

#include <Python.h>

#if PY_VERSION_HEX < 0x030D0000  // 3.12

inline int PyLong_AsInt(PyObject* obj) { return _PyLong_AsInt(obj); }

inline int PyObject_GetOptionalAttrString(PyObject* obj, const char* name, PyObject** result) {
    PyObject* key = PyUnicode_FromString(name);
    if (key == nullptr) {
        *result = nullptr;
        return -1;
    }
    int found = _PyObject_LookupAttr(obj, key, result);
    Py_DECREF(key);
    return found;
}

inline int PyDict_GetItemRef(PyObject* dict, PyObject* key, PyObject** result) {
    if (!PyDict_Check(dict)) {
        *result = nullptr;
        PyErr_BadInternalCall();
        return -1;
    }
    PyObject* item = PyDict_GetItemWithError(dict, key);  // borrowed
    if (item != nullptr) {
        *result = Py_NewRef(item);
        return 1;
    }
    *result = nullptr;
    return PyErr_Occurred() ? -1 : 0;
}

inline int PyDict_GetItemStringRef(PyObject* dict, const char* key, PyObject** result) {
    PyObject* k = PyUnicode_FromString(key);
    if (k == nullptr) {
        *result = nullptr;
        return -1;
    }
    int found = PyDict_GetItemRef(dict, k, result);
    Py_DECREF(k);
    return found;
}

#endif

#if PY_VERSION_HEX < 0x030E0000  // 3.12 and 3.13

inline int PyLong_GetSign(PyObject* obj, int* sign) {
    if (!PyLong_Check(obj)) {
        PyErr_Format(PyExc_TypeError, "expect int, got %s", Py_TYPE(obj)->tp_name);
        return -1;
    }
    *sign = _PyLong_Sign(obj);
    return 0;
}

inline int PyUnicode_Equal(PyObject* a, PyObject* b) {
    if (!PyUnicode_Check(a) || !PyUnicode_Check(b)) {
        PyErr_Format(PyExc_TypeError, "%s argument must be str, not %s", PyUnicode_Check(a) ? "second" : "first",
                     Py_TYPE(PyUnicode_Check(a) ? b : a)->tp_name);
        return -1;
    }
    return PyUnicode_Compare(a, b) == 0 ? 1 : 0;
}

#endif
