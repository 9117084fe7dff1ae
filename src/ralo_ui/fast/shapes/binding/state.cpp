// The process-wide state: what it holds, how it is made and what a failed exec undoes.
#include "state.hpp"

#include "function_type.hpp"
#include "ref.hpp"

namespace fs {

state st{};

namespace {

struct interned {
    PyObject* state::* slot;
    const char* text;
};

const interned names[] = {
    {&state::md, "md"},
    {&state::pygame, "pygame"},
    {&state::Surface, "Surface"},
    {&state::SRCALPHA, "SRCALPHA"},
    {&state::surfarray, "surfarray"},
    {&state::pixels3d, "pixels3d"},
    {&state::pixels_alpha, "pixels_alpha"},
    {&state::fill, "fill"},
    {&state::get_width, "get_width"},
    {&state::get_height, "get_height"},
    {&state::get_bytesize, "get_bytesize"},
    {&state::get_masks, "get_masks"},
    {&state::get_clip, "get_clip"},
    {&state::get_view, "get_view"},
    {&state::unmap_rgb, "unmap_rgb"},
    {&state::Color, "Color"},
    {&state::Rect, "Rect"},
    {&state::view_kind, "2"},
    // The memoising functions' names, as their specs give them; either module interns all three.
    {&state::cached_filled, "_get_cached_rounded_rect_surface"},
    {&state::cached_outlined, "_get_cached_outlined_rounded_rect_sdf"},
    {&state::cached_shadow, "_get_cached_shadow_surface"},
};

// One constant, made unless an earlier initialisation made it.
template <class Make>
bool ensure(PyObject*& slot, Make make) noexcept {
    if (slot == nullptr) slot = make();
    return slot != nullptr;
}

PyObject* builtins_namespace() noexcept {
    ref module = ref::steal(PyImport_ImportModule("builtins"));
    return module ? Py_NewRef(PyModule_GetDict(module.get())) : nullptr;
}

}  // namespace

bool init_state() noexcept {
    for (const interned& n : names) {
        if (!ensure(st.*n.slot, [&] { return PyUnicode_InternFromString(n.text); })) return false;
    }
    if (!ensure(st.transparent, [] { return Py_BuildValue("(iiii)", 0, 0, 0, 0); })) return false;
    if (!ensure(st.builtins, builtins_namespace)) return false;
    if (st.function_type == nullptr) st.function_type = make_function_type();
    return st.function_type != nullptr;
}

void clear_state() noexcept {
    st.dict = nullptr;
    Py_CLEAR(st.module);
}

}  // namespace fs
