// Placeholder until the rasteriser lands.
#include "shapes.hpp"

namespace fs {

PyObject* outlined_surface(PyObject* /*size*/, int32_t /*radius*/, float /*width*/, PyObject* /*color*/) noexcept {
    PyErr_SetString(PyExc_NotImplementedError, "outlined_surface is not built yet");
    return nullptr;
}

}  // namespace fs
