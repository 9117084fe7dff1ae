// Placeholder until the rasteriser lands.
#include "shapes.hpp"

namespace fs {

PyObject* round_in_place(PyObject* /*surf*/, PyObject* /*radii_input*/, PyObject* /*color*/) noexcept {
    PyErr_SetString(PyExc_NotImplementedError, "round_in_place is not built yet");
    return nullptr;
}

}  // namespace fs
