// Module initialisation, for either module: the definition, the create and exec steps, and the
// namespace bound from the module's table (this_module.bindings) in its order.
#include "module.hpp"

#include "function_type.hpp"
#include "host.hpp"
#include "lru_cache.hpp"
#include "numpy_abi.hpp"
#include "raster/simd/dispatch.hpp"
#include "state.hpp"

#include <cstdint>
#include <cstdio>

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
                            built_major, built_minor, this_module.name, "does not match", major, minor) == 0;
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

}  // namespace

ref registry_value(const namespace_context& c, const function_spec*, int) noexcept { return import_registry(c.dict); }
ref numpy_value(const namespace_context& c, const function_spec*, int) noexcept {
    return ref::steal(PyImport_ImportModuleLevel("numpy", c.dict, nullptr, nullptr, 0));
}
ref lru_cache_value(const namespace_context& c, const function_spec*, int) noexcept { return import_lru_cache(c.dict); }
ref function_value(const namespace_context& c, const function_spec* spec, int line) noexcept {
    return ref::steal(make_function(*spec, c.dict, line));
}
ref cached_value(const namespace_context& c, const function_spec* spec, int line) noexcept {
    return cached_function(*spec, c.dict, line);
}
ref dict_value(const namespace_context&, const function_spec*, int) noexcept { return ref::steal(PyDict_New()); }

int line_of(const function_spec& spec) noexcept {
    int line = 0;
    for (std::size_t i = 0; i < this_module.binding_count; ++i) {
        const function_spec* s = this_module.bindings[i].spec;
        if (s == nullptr) continue;
        ++line;
        if (s == &spec) return line;
    }
    return 0;
}

namespace {

bool bind_namespace(PyObject* dict) noexcept {
    const namespace_context context{dict};
    int line = 0;
    for (std::size_t i = 0; i < this_module.binding_count; ++i) {
        const binding& b = this_module.bindings[i];
        const char* name = b.name != nullptr ? b.name : b.spec->name;
        if (b.spec != nullptr) ++line;
        if (!bind(dict, name, b.make(context, b.spec, line))) return false;
    }
    return true;
}

// The module in sys.modules under its full name, unless something is there already.
bool register_module(PyObject* module) noexcept {
    PyObject* present = nullptr;
    if (PyDict_GetItemStringRef(PyImport_GetModuleDict(), this_module.name, &present) < 0) return false;
    if (present != nullptr) {
        Py_DECREF(present);
        return true;
    }
    return PyDict_SetItemString(PyImport_GetModuleDict(), this_module.name, module) == 0;
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
    char what[160];
    std::snprintf(what, sizeof what, "init %s", this_module.name);
    if (!PyErr_Occurred()) PyErr_SetString(PyExc_ImportError, what);
    if (traced) add_traceback(what, 1);
    return -1;
}

int exec(PyObject* module) noexcept {
    if (st.module != nullptr) {
        if (st.module == module) return 0;
        PyErr_Format(PyExc_RuntimeError, "Module '%s' has already been imported. Re-initialisation is not supported.",
                     this_module.short_name);
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

// The name and docstring come from this_module when the library is initialised.
PyModuleDef definition = {
    .m_base = PyModuleDef_HEAD_INIT,
    .m_name = nullptr,
    .m_doc = nullptr,
    .m_size = 0,
    .m_methods = nullptr,  // the method table is this_module.bindings[]: exec binds the functions from it
    .m_slots = slots,
    .m_traverse = nullptr,
    .m_clear = nullptr,
    .m_free = nullptr,
};

}  // namespace

PyObject* init_module() noexcept {
    definition.m_name = this_module.short_name;
    definition.m_doc = this_module.doc;
    return PyModuleDef_Init(&definition);
}

}  // namespace fs
