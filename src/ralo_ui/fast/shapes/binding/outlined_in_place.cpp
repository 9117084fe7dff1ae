// transform_into_outlined_rounded_rect: draws an anti-aliased outline over a caller's surface in place.
#include "shapes.hpp"

#include "convert.hpp"
#include "detach.hpp"
#include "host.hpp"
#include "raster/outline_pixel.hpp"
#include "raster/outline_runs.hpp"
#include "raster/outline_store.hpp"
#include "pixel_view.hpp"

namespace fs {
namespace {

// Every pixel of the w x h surface, rows top to bottom, columns left to right:
// the reference that outline_runs reproduces, and the way for surfaces and
// values outside its preconditions.
template <bool WithBackground>
void outline_all(const outline::params& p, const planes pl) noexcept {
    for (int32_t y = 0; y < pl.height; ++y) {
        const outline::row rw = outline::row_at(p, y);
        for (int32_t x = 0; x < pl.width; ++x) {
            const outline::distance d = outline::distance_at(p, rw, x);
            const pixel px = pl.at(x, y);
            if constexpr (WithBackground)
                outline::apply(p, outline::over_background(p, d), px);
            else
                outline::apply(p, outline::over_content(p, d), px);
        }
    }
}

// An 8-bit alpha in double, rounded once to single.
float alpha_mult(int32_t alpha) noexcept {
    // |alpha| / 255 < 2^24: well inside the float range.
    return static_cast<float>(alpha / 255.0);
}

// A corner radius less half the stroke, never below 0; a NaN difference gives 0.
float adjust(float radius, float half_width) noexcept {
    const float d = radius - half_width;
    return d > 0.0f ? d : 0.0f;
}

// bg[0], bg[1], bg[2] by indexing, then bg[3] if len(bg) > 3, all as unsigned bytes.
bool read_background(PyObject* bg, outline::params& p) noexcept {
    uint8_t rgb[3];
    if (!colour_rgb(bg, rgb)) return false;
    p.bg_r = rgb[0];
    p.bg_g = rgb[1];
    p.bg_b = rgb[2];
    const Py_ssize_t n = PyObject_Length(bg);
    if (n < 0) return false;
    if (n <= 3) {
        p.bg_alpha_mult = 1.0f;  // three items: opaque, exactly
        return true;
    }
    const ref it = ref::steal(item(bg, 3));
    uint8_t bg_a;
    if (!it || !to_uint8(it.get(), bg_a)) return false;
    p.bg_alpha_mult = alpha_mult(bg_a);
    return true;
}

}  // namespace

PyObject* outline_in_place(PyObject* surf, PyObject* radii_input, float stroke_width,
                           PyObject* color, PyObject* background_color) noexcept {
    int32_t w, h;
    if (!surface_size(surf, w, h)) return nullptr;
    corner_radii radii;
    if (!read_radii(radii_input, radii)) return nullptr;
    // The colour's items are read by position: refuse a short tuple before the
    // surface is locked, with the message indexing it would give.  None goes on
    // to fail at its len() below.
    if (color != Py_None && PyTuple_GET_SIZE(color) < 3) {
        PyErr_SetString(PyExc_IndexError, "tuple index out of range");
        return nullptr;
    }

    surface_views views;
    if (!views.acquire(surf) || !views.fits(w, h)) return nullptr;

    int32_t alpha_base;
    uint8_t rgb[3];
    if (!colour_alpha(color, alpha_base) || !colour_rgb(color, rgb)) return nullptr;

    outline::params p{};
    p.r = rgb[0];
    p.g = rgb[1];
    p.b = rgb[2];
    // alpha_base is used unclamped: outside 0..255 the multiplier leaves 0..1,
    // the opaque cases store its low eight bits and every store stays defined.
    p.alpha_low = outline::low8(alpha_base);
    p.stroke_alpha_mult = alpha_mult(alpha_base);

    const bool has_bg = background_color != nullptr && background_color != Py_None;
    if (has_bg) {
        if (!read_background(background_color, p)) return nullptr;
    } else if (alpha_base == 0) {
        Py_RETURN_NONE;  // nothing to draw: every pixel stays as it is, corners included
    }  // else bg_r = bg_g = bg_b = 0 and bg_alpha_mult = 0 from the initialiser

    p.half_width = 0.5f * stroke_width;
    // Two limits from half_width: the coverage ramp's base in single, and the
    // clearing and deep-inside limit in double.
    p.coverage_base = p.half_width + 0.5f;
    p.edge_limit = static_cast<double>(p.half_width) + 0.5;
    p.r_tl = adjust(radii.top_left, p.half_width);
    p.r_tr = adjust(radii.top_right, p.half_width);
    p.r_br = adjust(radii.bottom_right, p.half_width);
    p.r_bl = adjust(radii.bottom_left, p.half_width);
    // The centre in double from the integers, rounded once (|w| < 2^31 fits a float).
    p.center_x = static_cast<float>((static_cast<double>(w) - 1.0) * 0.5);
    p.center_y = static_cast<float>((static_cast<double>(h) - 1.0) * 0.5);
    // The box's half extents in single, from the sizes converted to single.
    p.box_half_w = (static_cast<float>(w) - stroke_width) * 0.5f;
    p.box_half_h = (static_cast<float>(h) - stroke_width) * 0.5f;

    if (w <= 0 || h <= 0) Py_RETURN_NONE;  // no pixel to visit, however many empty rows there are

    // Runs where the layout and the values allow them, every pixel otherwise;
    // both give the same bytes.
    const planes pl = views.as_planes(w, h);
    outline::packed_surface packed;
    const bool by_runs = outline::runs_apply(p, w, h) && packed.bind(pl);
    {
        detached unlocked;
        if (by_runs)
            outline::outline_runs(p, has_bg, packed, w, h);
        else if (has_bg)
            outline_all<true>(p, pl);
        else
            outline_all<false>(p, pl);
    }
    Py_RETURN_NONE;
}

}  // namespace fs
