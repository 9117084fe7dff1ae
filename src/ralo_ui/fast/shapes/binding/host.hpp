// The module's ties to the outside: its namespace, the host registry `md` and the pygame calls.
#pragma once

#include "ref.hpp"

#include <cstdint>

namespace fs {

// Interned names and constants, made once while the module initialises.
struct constants {
    PyObject* md;
    PyObject* pygame;
    PyObject* Surface;
    PyObject* SRCALPHA;
    PyObject* surfarray;
    PyObject* pixels3d;
    PyObject* pixels_alpha;
    PyObject* fill;
    PyObject* get_width;
    PyObject* get_height;
    PyObject* transparent;  // the tuple (0, 0, 0, 0)
    PyObject* builtins;     // the builtins module's namespace
};
extern constants k;

// The module namespace (borrowed; lives for the rest of the process once set).
extern PyObject* module_dict;

bool init_constants() noexcept;

// A global of the module by name: the namespace, then the builtins; otherwise
// NameError "name '%U' is not defined".
ref get_global(PyObject* name) noexcept;

// md.pygame, with `md` read from the namespace afresh.
ref pygame() noexcept;

// md.pygame.Surface((w, h), md.pygame.SRCALPHA)
ref new_surface(int32_t width, int32_t height) noexcept;

// surf.fill(color), result dropped.
bool fill(PyObject* surf, PyObject* color) noexcept;

// int32 of surf.get_width(), then of surf.get_height().
bool surface_size(PyObject* surf, int32_t& width, int32_t& height) noexcept;

}  // namespace fs
