// The module's ties to the outside: its namespace, the host registry `md` and the pygame calls.
#pragma once

#include "ref.hpp"
#include "state.hpp"

#include <cstdint>

namespace fs {

// A global of the module by name: the namespace, then the builtins; otherwise
// NameError "name '%U' is not defined".
ref get_global(PyObject* name) noexcept;

// The global `name`, looked up afresh, called with `nargs` positional arguments.
PyObject* call_global(PyObject* name, PyObject* const* args, size_t nargs) noexcept;

// getattr(obj, name).
ref attribute(PyObject* obj, PyObject* name) noexcept;

// obj.name(arg): a method call, or on a module a call of its attribute.
ref call_method(PyObject* obj, PyObject* name, PyObject* arg) noexcept;

// obj.name(): a method call with no argument (a surface's getters).
ref call_getter(PyObject* obj, PyObject* name) noexcept;

// md.pygame, with `md` read from the namespace afresh.
ref pygame() noexcept;

// md.pygame.<name>, every step read afresh.
ref pygame_attribute(PyObject* name) noexcept;

// md.pygame.Surface((width, height), md.pygame.SRCALPHA).  `size`, what the caller gave
// (or nullptr), is passed on itself when it is an exact tuple of two exact ints: the
// pair width and height were read from.
ref new_surface(PyObject* size, int32_t width, int32_t height) noexcept;

// surf.fill(color), result dropped.
bool fill(PyObject* surf, PyObject* color) noexcept;

// int32 of surf.get_width(), then of surf.get_height().
bool surface_size(PyObject* surf, int32_t& width, int32_t& height) noexcept;

}  // namespace fs
