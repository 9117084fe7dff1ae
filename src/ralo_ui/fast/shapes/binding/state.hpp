// All of the module's process-wide state, with its one initialise and its one clear.
#pragma once

#include <Python.h>

#include <cstdint>

namespace fs {

struct function_spec;

// Traceback code objects kept: one per published function, at most this many.
inline constexpr int traceback_slots = 8;

// A published function's traceback code object, kept under its spec.
struct traceback_code {
    const function_spec* spec = nullptr;  // nullptr: the slot is free
    PyObject* code = nullptr;
};

struct state {
    // The interpreter that first created the module (-1 before), and that module.
    int64_t owner_interpreter = -1;
    PyObject* module = nullptr;  // strong, from exec's start; dropped when exec fails
    PyObject* dict = nullptr;    // borrowed: the module's namespace, once exec has reached it

    // Interned names of the host calls.
    PyObject* md = nullptr;
    PyObject* pygame = nullptr;
    PyObject* Surface = nullptr;
    PyObject* SRCALPHA = nullptr;
    PyObject* surfarray = nullptr;
    PyObject* pixels3d = nullptr;
    PyObject* pixels_alpha = nullptr;
    PyObject* fill = nullptr;
    PyObject* get_width = nullptr;
    PyObject* get_height = nullptr;
    // What drawing into a caller's surface asks of it and of pygame.
    PyObject* get_bytesize = nullptr;
    PyObject* get_masks = nullptr;
    PyObject* get_clip = nullptr;
    PyObject* get_view = nullptr;
    PyObject* unmap_rgb = nullptr;
    PyObject* Color = nullptr;
    PyObject* Rect = nullptr;
    PyObject* view_kind = nullptr;  // "2": a view of whole pixels, rows `pitch` apart
    // Interned names of the caching wrappers, which the front ends look up afresh.
    PyObject* cached_filled = nullptr;    // "_get_cached_rounded_rect_surface"
    PyObject* cached_outlined = nullptr;  // "_get_cached_outlined_rounded_rect_sdf"
    PyObject* cached_shadow = nullptr;    // "_get_cached_shadow_surface" (the draw module's)
    // Constants.
    PyObject* transparent = nullptr;  // the tuple (0, 0, 0, 0)
    PyObject* builtins = nullptr;     // the builtins module's namespace

    PyTypeObject* function_type = nullptr;
    // numpy's ndarray, kept from the type check at exec: the pixel views read its arrays directly.
    PyTypeObject* ndarray_type = nullptr;
    // One code object per function for its traceback entries, made at its first failure
    // and kept: failures are ordinary in callers' code and should not rebuild it.
    traceback_code traceback_codes[traceback_slots] = {};
};

// The one instance.
extern state st;

// Makes every name, constant and the function type that is still missing: an earlier,
// failed initialisation may have made some of them, and they are kept for the process.
bool init_state() noexcept;

// Undoes a failed exec: drops the module and forgets its namespace.  Names, constants, the
// function type and the code objects stay: objects the failed exec made may still use them.
void clear_state() noexcept;

}  // namespace fs
