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

PyObject* call_global(PyObject* name, PyObject* const* args, size_t nargs) noexcept {
    ref target = get_global(name);
    if (!target) return nullptr;
    return PyObject_Vectorcall(target.get(), args, nargs, nullptr);
}

namespace {

// The attribute of a plain module found in its namespace, or nullptr with no error set
// when it is not there.  For a module of the exact built-in type and a name that type does
// not define, this is what getattr finds, without the generic look-up's type walk.
PyObject* module_attribute(PyObject* obj, PyObject* name, bool& failed) noexcept {
    failed = false;
    PyObject* dict = PyModule_CheckExact(obj) ? PyModule_GetDict(obj) : nullptr;
    if (dict == nullptr) return nullptr;
    PyObject* found = nullptr;
    if (PyDict_GetItemRef(dict, name, &found) < 0) failed = true;
    return found;
}

ref new_size(PyObject* given, int32_t width, int32_t height) noexcept {
    // The caller's own pair of ints is that pair already, and immutable.
    if (given != nullptr && PyTuple_CheckExact(given) && PyTuple_GET_SIZE(given) == 2 &&
        PyLong_CheckExact(PyTuple_GET_ITEM(given, 0)) && PyLong_CheckExact(PyTuple_GET_ITEM(given, 1)))
        return ref::borrow(given);
    ref w = ref::steal(PyLong_FromLong(width));
    ref h = ref::steal(PyLong_FromLong(height));
    if (!w || !h) return {};
    ref size = ref::steal(PyTuple_New(2));
    if (!size) return {};
    PyTuple_SET_ITEM(size.get(), 0, w.release());
    PyTuple_SET_ITEM(size.get(), 1, h.release());
    return size;
}

}  // namespace

ref attribute(PyObject* obj, PyObject* name) noexcept {
    bool failed = false;
    if (PyObject* found = module_attribute(obj, name, failed)) return ref::steal(found);
    if (failed) return {};
    return ref::steal(PyObject_GetAttr(obj, name));
}

ref call_method(PyObject* obj, PyObject* name, PyObject* arg) noexcept {
    bool failed = false;
    if (PyObject* found = module_attribute(obj, name, failed)) {
        ref method = ref::steal(found);
        PyObject* args[] = {nullptr, arg};
        return ref::steal(PyObject_Vectorcall(method.get(), args + 1, 1 | PY_VECTORCALL_ARGUMENTS_OFFSET, nullptr));
    }
    if (failed) return {};
    PyObject* args[] = {obj, arg};
    return ref::steal(PyObject_VectorcallMethod(name, args, 2 | PY_VECTORCALL_ARGUMENTS_OFFSET, nullptr));
}

ref pygame() noexcept {
    ref md = get_global(st.md);
    if (!md) return {};
    return attribute(md.get(), st.pygame);
}

ref pygame_attribute(PyObject* name) noexcept {
    ref pg = pygame();
    if (!pg) return {};
    return attribute(pg.get(), name);
}

ref new_surface(PyObject* size, int32_t width, int32_t height) noexcept {
    ref surface_type = pygame_attribute(st.Surface);
    if (!surface_type) return {};
    ref size_arg = new_size(size, width, height);
    if (!size_arg) return {};
    ref flags = pygame_attribute(st.SRCALPHA);
    if (!flags) return {};
    PyObject* args[] = {size_arg.get(), flags.get()};
    return ref::steal(PyObject_Vectorcall(surface_type.get(), args, 2, nullptr));
}

bool fill(PyObject* surf, PyObject* color) noexcept {
    PyObject* args[] = {surf, color};
    ref result = ref::steal(PyObject_VectorcallMethod(st.fill, args, 2 | PY_VECTORCALL_ARGUMENTS_OFFSET, nullptr));
    return static_cast<bool>(result);
}

ref call_getter(PyObject* obj, PyObject* name) noexcept {
    PyObject* args[] = {obj};
    return ref::steal(PyObject_VectorcallMethod(name, args, 1 | PY_VECTORCALL_ARGUMENTS_OFFSET, nullptr));
}

namespace {

bool call_size_method(PyObject* surf, PyObject* method, int32_t& out) noexcept {
    ref value = call_getter(surf, method);
    return value && to_int32(value.get(), out);
}

}  // namespace

bool surface_size(PyObject* surf, int32_t& width, int32_t& height) noexcept {
    return call_size_method(surf, st.get_width, width) && call_size_method(surf, st.get_height, height);
}

}  // namespace fs
