// The module namespace, the host registry `md` and the few pygame calls the rasterisers make.
#include "host.hpp"

#include "convert.hpp"

namespace fs {

ref get_global(PyObject* name) noexcept {
    PyObject* found = nullptr;
    if (st.dict != nullptr && PyDict_GetItemRef(st.dict, name, &found) != 0) return ref::steal(found);
    if (PyErr_Occurred()) return {};
    if (PyDict_GetItemRef(st.builtins, name, &found) != 0) return ref::steal(found);
    if (!PyErr_Occurred()) PyErr_Format(PyExc_NameError, "name '%U' is not defined", name);
    return {};
}

ref pygame() noexcept {
    ref md = get_global(st.md);
    if (!md) return {};
    return ref::steal(PyObject_GetAttr(md.get(), st.pygame));
}

ref new_surface(int32_t width, int32_t height) noexcept {
    ref surface_type;
    if (ref pg = pygame()) surface_type = ref::steal(PyObject_GetAttr(pg.get(), st.Surface));
    if (!surface_type) return {};
    ref size = ref::steal(Py_BuildValue("(ii)", width, height));
    if (!size) return {};
    ref flags;
    if (ref pg = pygame()) flags = ref::steal(PyObject_GetAttr(pg.get(), st.SRCALPHA));
    if (!flags) return {};
    PyObject* args[] = {size.get(), flags.get()};
    return ref::steal(PyObject_Vectorcall(surface_type.get(), args, 2, nullptr));
}

bool fill(PyObject* surf, PyObject* color) noexcept {
    PyObject* args[] = {surf, color};
    ref result = ref::steal(PyObject_VectorcallMethod(st.fill, args, 2 | PY_VECTORCALL_ARGUMENTS_OFFSET, nullptr));
    return static_cast<bool>(result);
}

namespace {

bool call_size_method(PyObject* surf, PyObject* method, int32_t& out) noexcept {
    PyObject* args[] = {surf};
    ref value = ref::steal(PyObject_VectorcallMethod(method, args, 1 | PY_VECTORCALL_ARGUMENTS_OFFSET, nullptr));
    return value && to_int32(value.get(), out);
}

}  // namespace

bool surface_size(PyObject* surf, int32_t& width, int32_t& height) noexcept {
    return call_size_method(surf, st.get_width, width) && call_size_method(surf, st.get_height, height);
}

}  // namespace fs
