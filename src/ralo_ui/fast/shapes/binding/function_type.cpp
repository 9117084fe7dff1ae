// The module's function type: its objects, attributes, vectorcall and lifecycle.
#include "function_type.hpp"

#include "module.hpp"
#include "raster/simd/dispatch.hpp"
#include "ref.hpp"
#include "state.hpp"

#include <cstddef>
#include <cstring>

namespace fs {
namespace {

struct function_object {
    PyObject_HEAD
    vectorcallfunc vectorcall;
    const function_spec* spec;
    PyObject* name;
    PyObject* qualname;
    PyObject* module;
    PyObject* globals;
    PyObject* code;
    PyObject* defaults;     // informational: calls always take the spec's defaults
    PyObject* annotations;  // made on first access
    PyObject* dict;
    PyObject* weakrefs;
    PyObject* param_names[max_params];
    int line;  // its traceback line
};

function_object* as_function(PyObject* self) noexcept { return reinterpret_cast<function_object*>(self); }

PyObject* function_call(PyObject* self, PyObject* const* args, size_t nargsf, PyObject* kwnames) noexcept {
    const function_object* f = as_function(self);
    const function_spec& s = *f->spec;
    call_args a;
    PyObject* result = nullptr;
    if (bind_call(s, f->param_names, args, PyVectorcall_NARGS(nargsf), kwnames, a)) result = s.body(a);
    if (result == nullptr) add_traceback(s);
    return result;
}

// ---- attributes ---------------------------------------------------------------------------

PyObject* get_doc(PyObject* self, void*) noexcept {
    const char* doc = as_function(self)->spec->doc;
    if (doc == nullptr) Py_RETURN_NONE;
    return PyUnicode_FromString(doc);
}
PyObject* get_none(PyObject*, void*) noexcept { Py_RETURN_NONE; }

PyObject* get_name(PyObject* self, void*) noexcept { return Py_NewRef(as_function(self)->name); }
PyObject* get_qualname(PyObject* self, void*) noexcept { return Py_NewRef(as_function(self)->qualname); }

int set_str(PyObject*& slot, PyObject* value, const char* what) noexcept {
    if (value == nullptr || !PyUnicode_Check(value)) {
        PyErr_Format(PyExc_TypeError, "%s must be set to a string object", what);
        return -1;
    }
    Py_SETREF(slot, Py_NewRef(value));
    return 0;
}
int set_name(PyObject* self, PyObject* value, void*) noexcept {
    return set_str(as_function(self)->name, value, "__name__");
}
int set_qualname(PyObject* self, PyObject* value, void*) noexcept {
    return set_str(as_function(self)->qualname, value, "__qualname__");
}

PyObject* get_defaults(PyObject* self, void*) noexcept {
    PyObject* d = as_function(self)->defaults;
    return Py_NewRef(d != nullptr ? d : Py_None);
}
int set_defaults(PyObject* self, PyObject* value, void*) noexcept {
    if (value != nullptr && value != Py_None && !PyTuple_Check(value)) {
        PyErr_SetString(PyExc_TypeError, "__defaults__ must be set to a tuple object");
        return -1;
    }
    if (PyErr_WarnFormat(PyExc_RuntimeWarning, 1,
                         "%U.__defaults__ only describes the function: calls keep their built-in defaults",
                         as_function(self)->name) < 0)
        return -1;
    Py_XSETREF(as_function(self)->defaults, value == Py_None ? nullptr : Py_XNewRef(value));
    return 0;
}

PyObject* get_annotations(PyObject* self, void*) noexcept {
    function_object* f = as_function(self);
    if (f->annotations == nullptr && (f->annotations = PyDict_New()) == nullptr) return nullptr;
    return Py_NewRef(f->annotations);
}
int set_annotations(PyObject* self, PyObject* value, void*) noexcept {
    if (value != nullptr && value != Py_None && !PyDict_Check(value)) {
        PyErr_SetString(PyExc_TypeError, "__annotations__ must be set to a dict object");
        return -1;
    }
    Py_XSETREF(as_function(self)->annotations, value == Py_None ? nullptr : Py_XNewRef(value));
    return 0;
}

// The name of the kernel table the module draws with ("baseline", "avx2+fma"), chosen once as
// the library loaded (RALO_UI_KERNELS): the namespace is fixed, so the functions tell.
PyObject* get_kernels(PyObject*, void*) noexcept { return PyUnicode_FromString(simd::chosen.name); }

PyGetSetDef function_getset[] = {
    {"__name__", get_name, set_name, nullptr, nullptr},
    {"__qualname__", get_qualname, set_qualname, nullptr, nullptr},
    {"__doc__", get_doc, nullptr, nullptr, nullptr},
    {"__defaults__", get_defaults, set_defaults, nullptr, nullptr},
    {"__kwdefaults__", get_none, nullptr, nullptr, nullptr},
    {"__closure__", get_none, nullptr, nullptr, nullptr},
    {"__annotations__", get_annotations, set_annotations, nullptr, nullptr},
    {"__dict__", PyObject_GenericGetDict, PyObject_GenericSetDict, nullptr, nullptr},
    {"_kernels", get_kernels, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

// ---- lifecycle ----------------------------------------------------------------------------

int function_traverse(PyObject* self, visitproc visit, void* arg) noexcept {
    function_object* f = as_function(self);
    Py_VISIT(Py_TYPE(self));
    Py_VISIT(f->globals);
    Py_VISIT(f->code);
    Py_VISIT(f->defaults);
    Py_VISIT(f->annotations);
    Py_VISIT(f->dict);
    Py_VISIT(f->module);
    return 0;
}

int function_clear(PyObject* self) noexcept {
    function_object* f = as_function(self);
    Py_CLEAR(f->globals);
    Py_CLEAR(f->code);
    Py_CLEAR(f->defaults);
    Py_CLEAR(f->annotations);
    Py_CLEAR(f->dict);
    Py_CLEAR(f->module);
    return 0;
}

void function_dealloc(PyObject* self) noexcept {
    function_object* f = as_function(self);
    PyObject_GC_UnTrack(self);
    if (f->weakrefs != nullptr) PyObject_ClearWeakRefs(self);
    function_clear(self);
    Py_CLEAR(f->name);
    Py_CLEAR(f->qualname);
    for (PyObject*& n : f->param_names) Py_CLEAR(n);
    PyTypeObject* type = Py_TYPE(self);
    PyObject_GC_Del(self);
    Py_DECREF(type);
}

PyObject* function_repr(PyObject* self) noexcept {
    return PyUnicode_FromFormat("<function %U at %p>", as_function(self)->qualname, self);
}

// Functions bind to instances like Python functions do.
PyObject* function_get(PyObject* self, PyObject* obj, PyObject*) noexcept {
    if (obj == nullptr || obj == Py_None) return Py_NewRef(self);
    return PyMethod_New(self, obj);
}

// The code object of a function: its parameters, all positional-or-keyword,
// in the module's source file.
PyObject* make_code(const function_spec& s, PyObject* const* names, int line) noexcept {
    ref code = ref::steal(reinterpret_cast<PyObject*>(PyCode_NewEmpty(this_module.source_file, s.name, line)));
    if (!code) return nullptr;
    ref varnames = ref::steal(PyTuple_New(s.param_count));
    if (!varnames) return nullptr;
    for (int i = 0; i < s.param_count; ++i) PyTuple_SET_ITEM(varnames.get(), i, Py_NewRef(names[i]));
    ref replace = ref::steal(PyObject_GetAttrString(code.get(), "replace"));
    ref kwargs =
        ref::steal(Py_BuildValue("{s:i,s:i,s:O,s:i}", "co_argcount", s.param_count, "co_nlocals", s.param_count,
                                 "co_varnames", varnames.get(), "co_flags", CO_OPTIMIZED | CO_NEWLOCALS));
    if (!replace || !kwargs) return nullptr;
    ref empty = ref::steal(PyTuple_New(0));
    if (!empty) return nullptr;
    return PyObject_Call(replace.get(), empty.get(), kwargs.get());
}

// The defaults its signature shows: None for an object parameter, the fallback for a number.
PyObject* defaults_of(const function_spec& s) noexcept {
    ref defaults = ref::steal(PyTuple_New(s.param_count - s.required));
    if (!defaults) return nullptr;
    for (int i = s.required; i < s.param_count; ++i) {
        const param& p = s.params[i];
        PyObject* value = p.fallback == no_fallback ? Py_NewRef(Py_None) : PyLong_FromLong(p.fallback);
        if (value == nullptr) return nullptr;
        PyTuple_SET_ITEM(defaults.get(), i - s.required, value);
    }
    return defaults.release();
}

}  // namespace

PyTypeObject* make_function_type() noexcept {
    static PyMemberDef members[] = {
        {"__module__", Py_T_OBJECT_EX, offsetof(function_object, module), 0, nullptr},
        {"__globals__", Py_T_OBJECT_EX, offsetof(function_object, globals), Py_READONLY, nullptr},
        {"__code__", Py_T_OBJECT_EX, offsetof(function_object, code), Py_READONLY, nullptr},
        {"__vectorcalloffset__", Py_T_PYSSIZET, offsetof(function_object, vectorcall), Py_READONLY, nullptr},
        {"__weaklistoffset__", Py_T_PYSSIZET, offsetof(function_object, weakrefs), Py_READONLY, nullptr},
        {"__dictoffset__", Py_T_PYSSIZET, offsetof(function_object, dict), Py_READONLY, nullptr},
        {nullptr, 0, 0, 0, nullptr},
    };
    static PyType_Slot slots[] = {
        {Py_tp_dealloc, reinterpret_cast<void*>(function_dealloc)},
        {Py_tp_repr, reinterpret_cast<void*>(function_repr)},
        {Py_tp_call, reinterpret_cast<void*>(PyVectorcall_Call)},
        {Py_tp_traverse, reinterpret_cast<void*>(function_traverse)},
        {Py_tp_clear, reinterpret_cast<void*>(function_clear)},
        {Py_tp_members, members},
        {Py_tp_getset, function_getset},
        {Py_tp_descr_get, reinterpret_cast<void*>(function_get)},
        {0, nullptr},
    };
    static PyType_Spec spec = {
        .name = this_module.function_type_name,
        .basicsize = sizeof(function_object),
        .itemsize = 0,
        .flags = Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC | Py_TPFLAGS_HAVE_VECTORCALL | Py_TPFLAGS_METHOD_DESCRIPTOR |
                 Py_TPFLAGS_IMMUTABLETYPE | Py_TPFLAGS_DISALLOW_INSTANTIATION,
        .slots = slots,
    };
    return reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&spec));
}

PyObject* make_function(const function_spec& spec, PyObject* globals, int line) noexcept {
    ref self = ref::steal(reinterpret_cast<PyObject*>(PyObject_GC_New(function_object, st.function_type)));
    if (!self) return nullptr;
    function_object* f = as_function(self.get());
    std::memset(reinterpret_cast<char*>(f) + sizeof(PyObject), 0, sizeof(function_object) - sizeof(PyObject));
    f->vectorcall = function_call;
    f->spec = &spec;
    f->line = line;
    for (int i = 0; i < spec.param_count; ++i)
        if ((f->param_names[i] = PyUnicode_InternFromString(spec.params[i].name)) == nullptr) return nullptr;
    f->name = PyUnicode_InternFromString(spec.name);
    f->qualname = Py_XNewRef(f->name);
    f->module = PyUnicode_InternFromString(this_module.name);
    f->globals = Py_NewRef(globals);
    if (f->name == nullptr || f->module == nullptr) return nullptr;
    if (spec.required < spec.param_count && (f->defaults = defaults_of(spec)) == nullptr) return nullptr;
    if ((f->code = make_code(spec, f->param_names, line)) == nullptr) return nullptr;
    PyObject_GC_Track(self.get());
    return self.release();
}

}  // namespace fs
