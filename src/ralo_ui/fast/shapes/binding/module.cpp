// Module initialisation: the definition, the create and exec steps, and the namespace in its order.
#include "function_type.hpp"
#include "host.hpp"
#include "identity.hpp"
#include "lru_cache.hpp"
#include "numpy_abi.hpp"
#include "published.hpp"
#include "raster/simd/dispatch.hpp"
#include "ref.hpp"
#include "state.hpp"

#include <cstdint>

namespace fs {
namespace {

constexpr int built_major = PY_MAJOR_VERSION;
constexpr int built_minor = PY_MINOR_VERSION;

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
    if (st.owner_interpreter == -1) {
        st.owner_interpreter = id;
    } else if (st.owner_interpreter != id) {
        PyErr_SetString(PyExc_ImportError,
                        "Interpreter change detected - this module can only be loaded into one interpreter per "
                        "process.");
        return nullptr;
    }
    if (st.module != nullptr) return Py_NewRef(st.module);

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
    return PyErr_WarnFormat(PyExc_RuntimeWarning, 1,
                            "compile time Python version %d.%d of module '%.100s' %s runtime version %d.%d",
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

// What the namespace bindings are made from: the namespace and the one defaults tuple (None,).
struct namespace_context {
    PyObject* dict;
    PyObject* defaults;
};

ref registry_value(const namespace_context& c, const function_spec*) noexcept { return import_registry(c.dict); }
ref numpy_value(const namespace_context& c, const function_spec*) noexcept {
    return ref::steal(PyImport_ImportModuleLevel("numpy", c.dict, nullptr, nullptr, 0));
}
ref lru_cache_value(const namespace_context& c, const function_spec*) noexcept { return import_lru_cache(c.dict); }
ref function_value(const namespace_context& c, const function_spec* spec) noexcept {
    return ref::steal(make_function(*spec, c.dict, nullptr));
}
ref defaulted_function_value(const namespace_context& c, const function_spec* spec) noexcept {
    return ref::steal(make_function(*spec, c.dict, c.defaults));
}
ref cached_value(const namespace_context& c, const function_spec* spec) noexcept {
    return cached_function(*spec, c.dict);
}
ref dict_value(const namespace_context&, const function_spec*) noexcept { return ref::steal(PyDict_New()); }

// One statement of the module's body: a name and how its value is made.
struct binding {
    const char* name;  // nullptr: the function's own name
    ref (*make)(const namespace_context&, const function_spec*) noexcept;
    const function_spec* spec;
};

// The module's namespace, bound in this order.
constexpr binding bindings[] = {
    {"md", registry_value, nullptr},
    {"np", numpy_value, nullptr},
    {"lru_cache", lru_cache_value, nullptr},
    {nullptr, function_value, &functions::create_outlined_rounded_rect_sdf_raster},
    {nullptr, function_value, &functions::create_rounded_rect_surface_optimized},
    {nullptr, defaulted_function_value, &functions::transform_into_outlined_rounded_rect},
    {nullptr, defaulted_function_value, &functions::transform_into_rounded_rect},
    {nullptr, cached_value, &functions::get_cached_rounded_rect_surface},
    {nullptr, function_value, &functions::create_rounded_rect_surface},
    {nullptr, cached_value, &functions::get_cached_outlined_rounded_rect_sdf},
    {nullptr, function_value, &functions::create_outlined_rounded_rect_sdf},
    {"__test__", dict_value, nullptr},
};

constexpr int function_count() noexcept {
    int n = 0;
    for (const binding& b : bindings) n += b.spec != nullptr;
    return n;
}
static_assert(function_count() <= traceback_slots, "a function would get no traceback code object");

bool bind_namespace(PyObject* dict) noexcept {
    ref defaults = ref::steal(PyTuple_Pack(1, Py_None));
    if (!defaults) return false;
    const namespace_context context{dict, defaults.get()};
    for (const binding& b : bindings) {
        const char* name = b.name != nullptr ? b.name : b.spec->name;
        if (!bind(dict, name, b.make(context, b.spec))) return false;
    }
    return true;
}

// The module in sys.modules under its full name, unless something is there already.
bool register_module(PyObject* module) noexcept {
    PyObject* present = nullptr;
    if (PyDict_GetItemStringRef(PyImport_GetModuleDict(), module_name, &present) < 0) return false;
    if (present != nullptr) {
        Py_DECREF(present);
        return true;
    }
    return PyDict_SetItemString(PyImport_GetModuleDict(), module_name, module) == 0;
}

// Says so when RALO_UI_KERNELS, read as the library loaded, asked for what the module does not
// do: a name of no kernel table, or a table this processor cannot run.  A warning, not an
// error: the variable may be set for a whole environment, where builds that know other tables
// run too; the module draws the same bytes with any table, so it goes on with the processor's
// choice, which the warning names.
bool warn_on_kernel_request() noexcept {
    const simd::choice& c = simd::kernel_choice();
    if (c.outcome == simd::request::unknown)
        return PyErr_WarnFormat(PyExc_RuntimeWarning, 1,
                                "RALO_UI_KERNELS='%s' names no kernel table (accepted: %s); using the %s kernels",
                                c.value, simd::accepted_kernels, simd::chosen.name) == 0;
    if (c.outcome == simd::request::unsupported)
        return PyErr_WarnFormat(PyExc_RuntimeWarning, 1,
                                "RALO_UI_KERNELS='%s': this processor cannot run those kernels; using the %s kernels",
                                c.value, simd::chosen.name) == 0;
    return true;
}

bool set_builtins(PyObject* dict) noexcept {
    ref builtins = ref::steal(PyImport_ImportModule("builtins"));
    return builtins && PyDict_SetItemString(dict, "__builtins__", builtins.get()) == 0;
}

// The steps before the namespace is used; their failures get no traceback entry.
bool prepare(PyObject* dict) noexcept {
    if (!set_builtins(dict)) return false;
    if (!warn_on_other_python()) return false;
    if (!warn_on_kernel_request()) return false;
    if (!init_state()) return false;
    return true;
}

// The module's own statements; their failures get an "init" traceback entry.
bool run_body(PyObject* module, PyObject* dict) noexcept {
    if (!check_numpy_c_api()) return false;
    if (!register_module(module)) return false;
    if (!check_numpy_types()) return false;
    if (!bind_namespace(dict)) return false;
    return true;
}

// Undoes a failed exec and reports it; `traced`: the failure came from the module's body.
int failed(bool traced) noexcept {
    clear_state();
    if (!PyErr_Occurred()) PyErr_SetString(PyExc_ImportError, "init ralo_ui.fast.shapes.fast_shapes");
    if (traced) add_traceback("init ralo_ui.fast.shapes.fast_shapes", 1);
    return -1;
}

int exec(PyObject* module) noexcept {
    if (st.module != nullptr) {
        if (st.module == module) return 0;
        PyErr_SetString(PyExc_RuntimeError,
                        "Module 'fast_shapes' has already been imported. Re-initialisation is not supported.");
        return -1;
    }
    st.module = Py_NewRef(module);
#ifdef Py_GIL_DISABLED
    PyUnstable_Module_SetGIL(module, Py_MOD_GIL_USED);
#endif
    PyObject* dict = PyModule_GetDict(module);
    if (!prepare(dict)) return failed(false);
    st.dict = dict;
    if (!run_body(module, dict)) return failed(true);
    return 0;
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

PyMODINIT_FUNC PyInit_fast_shapes() { return PyModuleDef_Init(&fs::definition); }
