// ref: an owned strong reference to a Python object, released on scope exit.
#pragma once

#include <Python.h>

#include "py_compat.hpp"
#include "raster/checks.hpp"

#include <utility>

namespace fs {

// A reference is only ever released while the thread is attached (checked in debug builds).
class ref {
public:
    ref() noexcept = default;
    ref(const ref& other) noexcept : p_(Py_XNewRef(other.p_)) {}
    ref(ref&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ~ref() {
        FS_CHECK(p_ == nullptr || PyGILState_Check());
        Py_XDECREF(p_);
    }

    ref& operator=(const ref& other) noexcept {
        FS_CHECK(PyGILState_Check());
        PyObject* old = p_;
        p_ = Py_XNewRef(other.p_);  // take the new one before letting the old go
        Py_XDECREF(old);
        return *this;
    }
    ref& operator=(ref&& other) noexcept {
        FS_CHECK(PyGILState_Check());
        PyObject* old = std::exchange(p_, std::exchange(other.p_, nullptr));
        Py_XDECREF(old);
        return *this;
    }

    // Adopt a reference the caller owns (a "new reference" result); nullptr stays empty.
    static ref steal(PyObject* p) noexcept {
        ref r;
        r.p_ = p;
        return r;
    }
    // Take a new reference to a borrowed object.
    static ref borrow(PyObject* p) noexcept {
        ref r;
        r.p_ = Py_XNewRef(p);
        return r;
    }

    PyObject* get() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    // Hand the reference over, e.g. as a function result or to a stealing call that succeeded.
    [[nodiscard]] PyObject* release() noexcept { return std::exchange(p_, nullptr); }
    void reset() noexcept {
        FS_CHECK(PyGILState_Check());
        Py_CLEAR(p_);
    }

private:
    PyObject* p_ = nullptr;
};

}  // namespace fs
