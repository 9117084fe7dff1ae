// Module initialisation: the definition, the create and exec steps, and the namespace in its order.
#include "function.hpp"
#include "functions.hpp"
#include "host.hpp"
#include "numpy_abi.hpp"
#include "ref.hpp"

#include <cstdint>

namespace fs {
namespace {

// Process-wide: the one module object, and the interpreter that first created it.
PyObject* the_module = nullptr;
int64_t owner_interpreter = -1;

constexpr int built_major = PY_MAJOR_VERSION;
constexpr int built_minor = PY_MINOR_VERSION;
constexpr long cache_size = 256;

// ---- create step --------------------------------------------------------------------------

// Copies spec.<from> to module.<to>; a spec without the attribute leaves it unset.
bool copy_spec_attr(PyObject* spec, PyObject* module, const char* from, const char* to, bool skip_none) noexcept {
    PyObject* value = nullptr;
    if (PyObject_GetOptionalAttrString(spec, from, &value) < 0) return false;
    ref v = ref::steal(value);
    if (!v || (skip_none && v.get() == Py_None)) return true;
    return PyObject_SetAttrString(module, to, v.get()) == 0;
}

PyObject* create(PyObject* spec, PyModuleDef*) noexcept {
    int64_t id = PyInterpreterState_GetID(PyInterpreterState_Get());
    if (id == -1) return nullptr;
    if (owner_interpreter == -1) {
        owner_interpreter = id;
    } else if (owner_interpreter != id) {
        PyErr_SetString(PyExc_ImportError,
                        "Interpreter change detected - this module can only be loaded into one interpreter per "
                        "process.");
        return nullptr;
    }
    if (the_module != nullptr) return Py_NewRef(the_module);

    ref name = ref::steal(PyObject_GetAttrString(spec, "name"));
    if (!name) return nullptr;
    ref module = ref::steal(PyModule_NewObject(name.get()));
    if (!module) return nullptr;
    if (!copy_spec_attr(spec, module.get(), "loader", "__loader__", false) ||
        !copy_spec_attr(spec, module.get(), "origin", "__file__", false) ||
        !copy_spec_attr(spec, module.get(), "parent", "__package__", false) ||
        !copy_spec_attr(spec, module.get(), "submodule_search_locations", "__path__", true))
        return nullptr;
    return module.release();
}

// ---- exec step ----------------------------------------------------------------------------

bool warn_on_other_python() noexcept {
    int major = static_cast<int>((Py_Version >> 24) & 0xff);
    int minor = static_cast<int>((Py_Version >> 16) & 0xff);
    if (major == built_major && minor == built_minor) return true;
    return PyErr_WarnFormat(PyExc_RuntimeWarning, 1, "compile time Python version %d.%d of module '%.100s' %s runtime version %d.%d",
                            built_major, built_minor, module_name, "does not match", major, minor) == 0;
}

bool bind(PyObject* dict, const char* name, ref value) noexcept {
    return value && PyDict_SetItemString(dict, name, value.get()) == 0;
}

// import ralo_ui.core.modules, reached through the package's attributes, or sys.modules.
ref import_registry(PyObject* dict) noexcept {
    static const char dotted[] = "ralo_ui.core.modules";
    ref name = ref::steal(PyUnicode_FromString(dotted));
    if (!name) return {};
    ref top = ref::steal(PyImport_ImportModuleLevelObject(name.get(), dict, nullptr, nullptr, 0));
    if (!top) return {};
    PyObject* core = nullptr;
    PyObject* modules = nullptr;
    if (PyObject_GetOptionalAttrString(top.get(), "core", &core) < 0) return {};
    ref c = ref::steal(core);
    if (c && PyObject_GetOptionalAttrString(c.get(), "modules", &modules) < 0) return {};
    if (modules != nullptr) return ref::steal(modules);
    PyObject* found = nullptr;
    if (PyDict_GetItemRef(PyImport_GetModuleDict(), name.get(), &found) < 0) return {};
    if (found == nullptr) PyErr_Format(PyExc_ImportError, "cannot import name %S", name.get());
    return ref::steal(found);
}

// lru_cache from functools: an imported functools that has it, else `from functools import lru_cache`.
ref import_lru_cache(PyObject* dict) noexcept {
    PyObject* functools = nullptr;
    if (PyDict_GetItemStringRef(PyImport_GetModuleDict(), "functools", &functools) < 0) return {};
    ref module = ref::steal(functools);
    PyObject* found = nullptr;
    if (module && PyObject_GetOptionalAttrString(module.get(), "lru_cache", &found) < 0) return {};
    if (found != nullptr) return ref::steal(found);
    ref fromlist = ref::steal(Py_BuildValue("(s)", "lru_cache"));
    if (!fromlist) return {};
    module = ref::steal(PyImport_ImportModuleLevel("functools", dict, nullptr, fromlist.get(), 0));
    if (!module) return {};
    if (PyObject_GetOptionalAttrString(module.get(), "lru_cache", &found) < 0) return {};
    if (found == nullptr) PyErr_SetString(PyExc_ImportError, "cannot import name lru_cache");
    return ref::steal(found);
}

// lru_cache(maxsize=256), looked up in the namespace afresh, applied to a new function.
ref cached(const function_spec& spec, PyObject* dict) noexcept {
    ref lru_cache_name = ref::steal(PyUnicode_InternFromString("lru_cache"));
    if (!lru_cache_name) return {};
    ref lru_cache = get_global(lru_cache_name.get());
    if (!lru_cache) return {};
    ref maxsize = ref::steal(PyLong_FromLong(cache_size));
    ref kwnames = ref::steal(Py_BuildValue("(s)", "maxsize"));
    if (!maxsize || !kwnames) return {};
    PyObject* args[] = {maxsize.get()};
    ref decorator = ref::steal(PyObject_Vectorcall(lru_cache.get(), args, 0, kwnames.get()));
    if (!decorator) return {};
    ref function = ref::steal(make_function(spec, dict, nullptr));
    if (!function) return {};
    return ref::steal(PyObject_CallOneArg(decorator.get(), function.get()));
}

bool run_statements(PyObject* dict) noexcept {
    using namespace functions;
    ref defaults = ref::steal(PyTuple_Pack(1, Py_None));
    if (!defaults) return false;
    return bind(dict, "md", import_registry(dict)) &&
           bind(dict, "np", ref::steal(PyImport_ImportModuleLevel("numpy", dict, nullptr, nullptr, 0))) &&
           bind(dict, "lru_cache", import_lru_cache(dict)) &&
           bind(dict, create_outlined_rounded_rect_sdf_raster.name,
                ref::steal(make_function(create_outlined_rounded_rect_sdf_raster, dict, nullptr))) &&
           bind(dict, create_rounded_rect_surface_optimized.name,
                ref::steal(make_function(create_rounded_rect_surface_optimized, dict, nullptr))) &&
           bind(dict, transform_into_outlined_rounded_rect.name,
                ref::steal(make_function(transform_into_outlined_rounded_rect, dict, defaults.get()))) &&
           bind(dict, transform_into_rounded_rect.name,
                ref::steal(make_function(transform_into_rounded_rect, dict, defaults.get()))) &&
           bind(dict, get_cached_rounded_rect_surface.name, cached(get_cached_rounded_rect_surface, dict)) &&
           bind(dict, create_rounded_rect_surface.name,
                ref::steal(make_function(create_rounded_rect_surface, dict, nullptr))) &&
           bind(dict, get_cached_outlined_rounded_rect_sdf.name, cached(get_cached_outlined_rounded_rect_sdf, dict)) &&
           bind(dict, create_outlined_rounded_rect_sdf.name,
                ref::steal(make_function(create_outlined_rounded_rect_sdf, dict, nullptr))) &&
           bind(dict, "__test__", ref::steal(PyDict_New()));
}

// Items from the numpy check on get an "init" traceback entry.
bool exec_checked_steps(PyObject* module, PyObject* dict) noexcept {
    if (!check_numpy_c_api()) return false;
    PyObject* present = nullptr;
    if (PyDict_GetItemStringRef(PyImport_GetModuleDict(), module_name, &present) < 0) return false;
    if (present != nullptr) {
        Py_DECREF(present);
    } else if (PyDict_SetItemString(PyImport_GetModuleDict(), module_name, module) < 0) {
        return false;
    }
    return check_numpy_types() && run_statements(dict);
}

int exec(PyObject* module) noexcept {
    if (the_module != nullptr) {
        if (the_module == module) return 0;
        PyErr_SetString(PyExc_RuntimeError,
                        "Module 'fast_shapes' has already been imported. Re-initialisation is not supported.");
        return -1;
    }
    the_module = Py_NewRef(module);
#ifdef Py_GIL_DISABLED
    PyUnstable_Module_SetGIL(module, Py_MOD_GIL_USED);
#endif
    PyObject* dict = PyModule_GetDict(module);
    bool traced = false;
    bool ok = false;
    if (ref builtins = ref::steal(PyImport_ImportModule("builtins"));
        builtins && PyDict_SetItemString(dict, "__builtins__", builtins.get()) == 0 && warn_on_other_python() &&
        init_constants() && functions::init_names() && init_function_type()) {
        module_dict = dict;
        traced = true;
        ok = exec_checked_steps(module, dict);
    }
    if (ok) return 0;

    module_dict = nullptr;
    Py_CLEAR(the_module);
    if (!PyErr_Occurred()) PyErr_SetString(PyExc_ImportError, "init ralo_ui.fast.shapes.fast_shapes");
    if (traced) add_traceback("init ralo_ui.fast.shapes.fast_shapes", 1);
    return -1;
}

PyModuleDef_Slot slots[] = {
    {Py_mod_create, reinterpret_cast<void*>(create)},
    {Py_mod_exec, reinterpret_cast<void*>(exec)},
#if PY_VERSION_HEX >= 0x030D0000  // the slot is new in 3.13
    {Py_mod_gil, Py_MOD_GIL_USED},
#endif
    {0, nullptr},
};

PyMethodDef no_methods[] = {{nullptr, nullptr, 0, nullptr}};

PyModuleDef definition = {
    .m_base = PyModuleDef_HEAD_INIT,
    .m_name = "fast_shapes",
    .m_doc = nullptr,
    .m_size = 0,
    .m_methods = no_methods,
    .m_slots = slots,
    .m_traverse = nullptr,
    .m_clear = nullptr,
    .m_free = nullptr,
};

}  // namespace
}  // namespace fs

PyMODINIT_FUNC PyInit_fast_shapes() {
    return PyModuleDef_Init(&fs::definition);
}
