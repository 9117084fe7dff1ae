// Placeholder until the rasteriser lands.
#include "shapes.hpp"

namespace fs {

PyObject* outline_in_place(PyObject* /*surf*/, PyObject* /*radii_input*/, float /*stroke_width*/, PyObject* /*color*/, PyObject* /*background_color*/) noexcept {
    PyErr_SetString(PyExc_NotImplementedError, "outline_in_place is not built yet");
    return nullptr;
}

}  // namespace fs
