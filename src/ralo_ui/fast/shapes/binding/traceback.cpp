// Traceback entries: an empty code object naming the function, a frame for it, PyTraceBack_Here.
#include "traceback.hpp"

#include "module.hpp"
#include "ref.hpp"
#include "state.hpp"

#include <frameobject.h>

#include <cstdio>

namespace fs {
namespace {

// Adds a traceback entry for `code` (an empty code object naming the function)
// to the exception being raised; on any failure here the entry is lost and the
// original exception kept.
void add_traceback_entry(PyObject* raised, PyObject* code) noexcept {
    ref globals = ref::steal(PyDict_New());
    if (code != nullptr && globals) {
        ref frame = ref::steal(reinterpret_cast<PyObject*>(
            PyFrame_New(PyThreadState_Get(), reinterpret_cast<PyCodeObject*>(code), globals.get(), nullptr)));
        if (frame) {
            PyErr_SetRaisedException(raised);
            PyTraceBack_Here(reinterpret_cast<PyFrameObject*>(frame.get()));
            return;
        }
    }
    PyErr_Clear();
    PyErr_SetRaisedException(raised);
}

PyObject* new_code(const char* dotted_name, int line) noexcept {
    return reinterpret_cast<PyObject*>(PyCode_NewEmpty(this_module.source_file, dotted_name, line));
}

// The code object of `spec`'s function, kept under the spec from its first failure on; nullptr
// (no entry) where it cannot be made.
PyObject* kept_code(const function_spec& spec) noexcept {
    for (traceback_code& slot : st.traceback_codes) {
        if (slot.spec == &spec) return slot.code;
        if (slot.spec != nullptr) continue;
        char dotted[160];
        std::snprintf(dotted, sizeof dotted, "%s.%s", this_module.name, spec.name);
        PyObject* code = new_code(dotted, line_of(spec));
        if (code == nullptr) {
            PyErr_Clear();
            return nullptr;
        }
        slot = {&spec, code};
        return code;
    }
    return nullptr;  // unreachable: the module binds at most traceback_slots functions
}

}  // namespace

void add_traceback(const char* dotted_name, int line) noexcept {
    PyObject* raised = PyErr_GetRaisedException();
    if (raised == nullptr) return;
    ref code = ref::steal(new_code(dotted_name, line));
    add_traceback_entry(raised, code.get());
}

void add_traceback(const function_spec& spec) noexcept {
    PyObject* raised = PyErr_GetRaisedException();
    if (raised == nullptr) return;
    add_traceback_entry(raised, kept_code(spec));
}

}  // namespace fs
