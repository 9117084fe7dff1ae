// What makes one extension module of the package: its identity and the table its namespace is bound from.
#pragma once

#include "binder.hpp"
#include "ref.hpp"

#include <cstddef>

namespace fs {

// What a namespace row's value is made from: the namespace, and the row's function with its
// traceback line (its place among the table's functions, from 1).
struct namespace_context {
    PyObject* dict;
};
using make_fn = ref (*)(const namespace_context&, const function_spec* spec, int line) noexcept;

// One statement of a module's body: a name and how its value is made.  This table, not a
// PyMethodDef array, is each module's method table: exec binds its functions from it.
struct binding {
    const char* name;  // nullptr: the function's own name
    make_fn make;
    const function_spec* spec;  // the function a maker makes, or nullptr
};

// The values of namespace rows.
ref registry_value(const namespace_context&, const function_spec*, int) noexcept;   // ralo_ui.core.modules
ref numpy_value(const namespace_context&, const function_spec*, int) noexcept;      // numpy
ref lru_cache_value(const namespace_context&, const function_spec*, int) noexcept;  // functools.lru_cache
ref function_value(const namespace_context&, const function_spec*, int) noexcept;   // the function
ref cached_value(const namespace_context&, const function_spec*, int) noexcept;     // lru_cache(256)(function)
ref dict_value(const namespace_context&, const function_spec*, int) noexcept;       // {}

// Who a module is: what the interpreter and tracebacks call it, and its namespace table.
struct module_identity {
    const char* name;                // its full dotted name
    const char* short_name;          // the last part, its PyModuleDef's name
    const char* source_file;         // the file its code objects name
    const char* function_type_name;  // "<name>.function"
    const char* doc;                 // the module's docstring, or nullptr
    const binding* bindings;
    std::size_t binding_count;
};

// The module this library is: each extension module defines it beside its table (one per
// shared library, which links the binding layer once for itself).
extern const module_identity this_module;

// The traceback line of `spec`: its place among this module's functions, from 1 (0 if absent).
int line_of(const function_spec& spec) noexcept;

// How many functions a table binds, for the traceback slots' bound.
template <std::size_t N>
constexpr int function_count(const binding (&table)[N]) noexcept {
    int n = 0;
    for (const binding& b : table) n += b.spec != nullptr;
    return n;
}

// The PyInit_ function's whole body: this module's definition, initialised for multi-phase init.
PyObject* init_module() noexcept;

}  // namespace fs
