// detached: runs a scope with the calling thread detached from the interpreter.
#pragma once

#include <Python.h>

#include "raster/checks.hpp"

namespace fs {

// Cover only pixel loops with this: nothing inside may touch a Python object,
// allocate through the interpreter or raise.
class detached {
public:
    detached() noexcept : state_(save()) {}
    ~detached() { PyEval_RestoreThread(state_); }
    detached(const detached&) = delete;
    detached& operator=(const detached&) = delete;

private:
    static PyThreadState* save() noexcept {
        FS_CHECK(PyGILState_Check());  // detaching needs an attached thread
        return PyEval_SaveThread();
    }
    PyThreadState* state_;
};

}  // namespace fs
