// The module namespace, the host registry `md` and the few pygame calls the rasterisers make.
#include "host.hpp"

#include "convert.hpp"

namespace fs {

constants k{};
PyObject* module_dict = nullptr;

bool init_constants() noexcept {
    struct {
        PyObject** slot;
        const char* text;
    } const names[] = {
        {&k.md, "md"},           {&k.pygame, "pygame"},         {&k.Surface, "Surface"},
        {&k.SRCALPHA, "SRCALPHA"}, {&k.surfarray, "surfarray"},   {&k.pixels3d, "pixels3d"},
        {&k.pixels_alpha, "pixels_alpha"}, {&k.fill, "fill"},   {&k.get_width, "get_width"},
        {&k.get_height, "get_height"},
    };
    for (const auto& n : names) {
        if (*n.slot != nullptr) continue;  // made by an earlier, failed initialisation
        *n.slot = PyUnicode_InternFromString(n.text);
        if (*n.slot == nullptr) return false;
    }
    if (k.transparent == nullptr) k.transparent = Py_BuildValue("(iiii)", 0, 0, 0, 0);
    if (k.transparent == nullptr) return false;
    if (k.builtins == nullptr) {
        ref module = ref::steal(PyImport_ImportModule("builtins"));
        if (!module) return false;
        k.builtins = Py_NewRef(PyModule_GetDict(module.get()));
    }
    return true;
}

ref get_global(PyObject* name) noexcept {
    PyObject* found = nullptr;
    if (module_dict != nullptr && PyDict_GetItemRef(module_dict, name, &found) != 0) return ref::steal(found);
    if (PyErr_Occurred()) return {};
    if (PyDict_GetItemRef(k.builtins, name, &found) != 0) return ref::steal(found);
    if (!PyErr_Occurred()) PyErr_Format(PyExc_NameError, "name '%U' is not defined", name);
    return {};
}

ref pygame() noexcept {
    ref md = get_global(k.md);
    if (!md) return {};
    return ref::steal(PyObject_GetAttr(md.get(), k.pygame));
}

ref new_surface(int32_t width, int32_t height) noexcept {
    ref surface_type;
    if (ref pg = pygame()) surface_type = ref::steal(PyObject_GetAttr(pg.get(), k.Surface));
    if (!surface_type) return {};
    ref size = ref::steal(Py_BuildValue("(ii)", width, height));
    if (!size) return {};
    ref flags;
    if (ref pg = pygame()) flags = ref::steal(PyObject_GetAttr(pg.get(), k.SRCALPHA));
    if (!flags) return {};
    PyObject* args[] = {size.get(), flags.get()};
    return ref::steal(PyObject_Vectorcall(surface_type.get(), args, 2, nullptr));
}

bool fill(PyObject* surf, PyObject* color) noexcept {
    PyObject* args[] = {surf, color};
    ref result = ref::steal(PyObject_VectorcallMethod(k.fill, args, 2 | PY_VECTORCALL_ARGUMENTS_OFFSET, nullptr));
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
    return call_size_method(surf, k.get_width, width) && call_size_method(surf, k.get_height, height);
}

}  // namespace fs
