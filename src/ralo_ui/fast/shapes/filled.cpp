// Placeholder until the rasteriser lands.
#include "shapes.hpp"

namespace fs {

PyObject* filled_surface(PyObject* /*size*/, PyObject* /*radii_input*/, PyObject* /*color*/) noexcept {
    PyErr_SetString(PyExc_NotImplementedError, "filled_surface is not built yet");
    return nullptr;
}

}  // namespace fs
