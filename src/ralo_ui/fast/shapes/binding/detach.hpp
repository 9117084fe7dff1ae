// detached: runs a scope with the calling thread detached from the interpreter.
#pragma once

#include <Python.h>

namespace fs {

// Cover only pixel loops with this: nothing inside may touch a Python object,
// allocate through the interpreter or raise.
class detached {
public:
    detached() noexcept : state_(PyEval_SaveThread()) {}
    ~detached() { PyEval_RestoreThread(state_); }
    detached(const detached&) = delete;
    detached& operator=(const detached&) = delete;

private:
    PyThreadState* state_;
};

}  // namespace fs
