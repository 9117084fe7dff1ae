// Drawing straight into a caller's surface: rounded_rect (a fill or a border) and shadow, on one geometry.
#include "detach.hpp"
#include "draw_functions.hpp"
#include "raster/drawn_shapes.hpp"
#include "raster/into_surface.hpp"
#include "raster/numeric.hpp"
#include "raster/portable.hpp"
#include "raster/shadow.hpp"
#include "raster/simd/dispatch.hpp"
#include "surface_target.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <vector>

namespace fs {
namespace {

using into_surface::box;
using into_surface::edges;

// The widest window a blurred shadow's tables span, as for a shadow surface's side.
constexpr int64_t max_side = INT32_MAX / 4;

FS_COLD FS_NOINLINE bool not_a_number(const char* name) noexcept {
    PyErr_Format(PyExc_ValueError, "%s must be a number, not nan", name);
    return false;
}

// The corner radii of a call: border_radius and the four corners' own (-1: border_radius),
// top-left, top-right, bottom-right, bottom-left as the raster core orders them.
struct radii_args {
    double all, top_left, top_right, bottom_left, bottom_right;
};

// The radii as pygame bounds them: a negative corner takes border_radius, a negative result
// is 0, and when two corners on one side need more than the side they are all scaled by the
// one factor that makes the tightest side fit.  (pygame then truncates them to ints; here
// they stay fractional, as the rect's edges do.)
void bounded_radii(const radii_args& r, double width, double height, double out[4]) noexcept {
    const double given[4] = {r.top_left, r.top_right, r.bottom_right, r.bottom_left};
    for (int c = 0; c < 4; ++c) out[c] = std::max(given[c] < 0.0 ? r.all : given[c], 0.0);
    const double w = std::max(width, 0.0), h = std::max(height, 0.0);
    double f = 1.0;
    const auto fit = [&](double side, double a, double b) {
        if (a + b > side) f = std::min(f, side / (a + b));
    };
    fit(w, out[0], out[1]);
    fit(w, out[3], out[2]);
    fit(h, out[0], out[3]);
    fit(h, out[1], out[2]);
    if (f < 1.0) {
        for (int c = 0; c < 4; ++c) out[c] *= f;
    }
}

// The rect's edges and bounded radii; false (nothing to draw) for a negative size.
bool rect_edges(const double rect[4], const radii_args& r, edges& e) noexcept {
    e = {rect[0], rect[1], rect[0] + rect[2], rect[1] + rect[3], {}};
    bounded_radii(r, rect[2], rect[3], e.radii);
    return rect[2] >= 0.0 && rect[3] >= 0.0 && std::isfinite(e.right) && std::isfinite(e.bottom);
}

// The Rect of the pixels a call may change: `b`, or (x, y, 0, 0) at the rect's truncated
// position when it is empty, as pygame.draw.rect returns for nothing drawn.
PyObject* drawn_rect(const box& b, const double rect[4]) noexcept {
    if (b.empty()) return new_rect(trunc_to_int32(rect[0]), trunc_to_int32(rect[1]), 0, 0);
    return new_rect(b.x0, b.y0, b.x1 - b.x0, b.y1 - b.y0);
}

// One layer drawn, detached: made again from this thread's recording of the same drawing at
// another place, or its fields built and drawn and the drawing kept.  False when memory ran out.
bool composite(const surface_target& t, const blend::paint& p, const box& window, const box& clip,
               into_surface::rows alike, const shadow::shape& outer_shape, const shadow::shape* inner_shape) noexcept {
    const auto n = static_cast<std::size_t>(clip.x1 - clip.x0);
    detached nogil;
    try {
        std::vector<float> rows(3 * n);
        const into_surface::scratch tmp{rows.data(), rows.data() + n, rows.data() + 2 * n};
        const simd::kernels& k = simd::chosen;
        shadow::field outer, inner;
        into_surface::layer l{&outer, inner_shape != nullptr ? &inner : nullptr, window, clip, alike};
        auto& drawn = into_surface::drawn_shapes::this_thread();
        const into_surface::drawing_key key = into_surface::key_of(outer_shape, inner_shape, l, k);
        if (const into_surface::recording* again = drawn.recalled(key)) {
            again->replay(t.pixels, window.x0, window.y0, p, tmp, k);
            return true;
        }
        if (!outer.build(outer_shape, k) || (inner_shape != nullptr && !inner.build(*inner_shape, k))) return false;
        into_surface::draw(t.pixels, l, p, tmp, k, &drawn.to_keep(key));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// What both entries share before their shapes: the surface held, the colour and the rect read.
struct prepared {
    surface_target target;
    blend::paint paint{};
    double rect[4] = {};

    bool read(PyObject* surf, PyObject* color, PyObject* rect_obj) noexcept {
        if (!target.acquire(surf)) return false;
        uint8_t rgba[4];
        if (!surface_color(surf, color, rgba) || !read_rect(rect_obj, rect)) return false;
        paint = blend::make_paint(target.layout, rgba[0], rgba[1], rgba[2], rgba[3]);
        return true;
    }
};

// NaN refused in the call's first number (`first`, named `first_name`) and in the radii, in
// the order of the arguments.
bool numbers_given(const char* first_name, double first, const radii_args& r) noexcept {
    const double given[] = {first, r.all, r.top_left, r.top_right, r.bottom_left, r.bottom_right};
    const char* const names[] = {first_name,
                                 "border_radius",
                                 "border_top_left_radius",
                                 "border_top_right_radius",
                                 "border_bottom_left_radius",
                                 "border_bottom_right_radius"};
    for (int i = 0; i < 6; ++i) {
        if (std::isnan(given[i])) return not_a_number(names[i]);
    }
    return true;
}

// rounded_rect's whole body: a fill for width 0, a band `width` wide inside the rect for a
// positive one, nothing for a negative one.
PyObject* rounded_rect(PyObject* surf, PyObject* color, PyObject* rect_obj, double width,
                       const radii_args& r) noexcept {
    prepared call;
    if (!call.read(surf, color, rect_obj) || !numbers_given("width", width, r)) return nullptr;
    edges outer{};
    if (width < 0.0 || !rect_edges(call.rect, r, outer)) return drawn_rect({0, 0, 0, 0}, call.rect);
    const box window = into_surface::reach(outer, 0, call.target.clip);
    if (window.empty()) return drawn_rect(window, call.rect);
    const edges inner = into_surface::inset(outer, width);
    const shadow::shape outer_shape = into_surface::shape_in(outer, window);
    const shadow::shape inner_shape = into_surface::shape_in(inner, window);
    const bool band = width > 0.0 && !inner_shape.empty;
    const into_surface::rows alike = into_surface::alike_rows(outer, band ? &inner : nullptr);
    if (!composite(call.target, call.paint, window, window, alike, outer_shape, band ? &inner_shape : nullptr))
        return PyErr_NoMemory();
    call.target.release();
    return drawn_rect(window, call.rect);
}

// The shadow's numbers refused before anything is drawn: a blur that is negative, NaN or
// infinite, a NaN spread or radius.
bool shadow_numbers(double blur, double spread, const radii_args& r) noexcept {
    if (!(blur >= 0.0) || !std::isfinite(blur)) {
        PyErr_SetString(PyExc_ValueError, "blur must be a finite number >= 0");
        return false;
    }
    return numbers_given("spread", spread, r);
}

// The shape a shadow blurs: the rect's grown by `spread` (its radii too, never below 0); a
// blurred one's radii at most half its smaller side, as its tables take them.
edges grown(const edges& e, double spread, bool blurred) noexcept {
    edges g = into_surface::inset(e, -spread);
    // An emptied shape (a side at or below 0) keeps radii of 0: nothing of it is drawn.
    const double half = std::max(0.5 * std::min(g.right - g.left, g.bottom - g.top), 0.0);
    for (double& radius : g.radii) radius = blurred ? std::clamp(radius, 0.0, half) : std::max(radius, 0.0);
    return g;
}

// shadow's whole body: the grown shape blurred by a Gaussian of sigma blur / 2, composited at
// alpha x its value.
PyObject* shadow_into(PyObject* surf, PyObject* color, PyObject* rect_obj, double blur, double spread,
                      const radii_args& r) noexcept {
    prepared call;
    if (!call.read(surf, color, rect_obj) || !shadow_numbers(blur, spread, r)) return nullptr;
    edges e{};
    const double sigma = blur / 2.0;
    const bool blurred = !(sigma < shadow::field::exact_below);
    if (rect_edges(call.rect, r, e)) e = grown(e, spread, blurred);
    if (!(e.right > e.left && e.bottom > e.top)) return drawn_rect({0, 0, 0, 0}, call.rect);
    const double margin = blurred ? std::ceil(1.5 * blur) : 0.0;
    const double span_w = e.right - e.left + 2.0 * margin + 2.0, span_h = e.bottom - e.top + 2.0 * margin + 2.0;
    if (span_w > static_cast<double>(max_side) || span_h > static_cast<double>(max_side)) {
        PyErr_Format(PyExc_ValueError, "a shadow of this rect and blur would span more than %lld pixels a side",
                     static_cast<long long>(max_side));
        return nullptr;
    }
    const auto m = static_cast<int32_t>(margin);
    const box clip = into_surface::reach(e, m, call.target.clip);
    if (clip.empty()) return drawn_rect(clip, call.rect);
    // Exact: the window is the clip, as for a fill; blurred: the whole shadow, whose values
    // the tables give for any part of it.
    const box everywhere{INT32_MIN / 2, INT32_MIN / 2, INT32_MAX / 2, INT32_MAX / 2};
    const box window = blurred ? into_surface::reach(e, m, everywhere) : clip;
    const shadow::shape s = into_surface::shape_in(e, window, sigma);
    const into_surface::rows alike = blurred ? into_surface::rows{0, 0} : into_surface::alike_rows(e, nullptr);
    if (!composite(call.target, call.paint, window, clip, alike, s, nullptr)) return PyErr_NoMemory();
    call.target.release();
    return drawn_rect(clip, call.rect);
}

}  // namespace

// ---- its published functions: each spec above its body ------------------------------------

namespace functions {
namespace {

using enum param_kind;

enum class rect_arg {
    surface,
    color,
    rect,
    width,
    border_radius,
    border_top_left_radius,
    border_top_right_radius,
    border_bottom_left_radius,
    border_bottom_right_radius,
    count
};
enum class shadow_arg {
    surface,
    color,
    rect,
    blur,
    spread,
    border_radius,
    border_top_left_radius,
    border_top_right_radius,
    border_bottom_left_radius,
    border_bottom_right_radius,
    count
};

PyObject* rounded_rect_body(const call_args& a) noexcept;
PyObject* shadow_body(const call_args& a) noexcept;

}  // namespace

// rounded_rect(surface, color, rect, width=0, border_radius=0, border_top_left_radius=-1, ...)
constexpr function_spec rounded_rect = described({
    .name = "rounded_rect",
    .params = {{"surface", any},
               {"color", any},
               {"rect", any},
               {"width", float64, true, 0},
               {"border_radius", float64, true, 0},
               {"border_top_left_radius", float64, true, -1},
               {"border_top_right_radius", float64, true, -1},
               {"border_bottom_left_radius", float64, true, -1},
               {"border_bottom_right_radius", float64, true, -1}},
    .body = rounded_rect_body,
    .doc = "Draws an anti-aliased rounded rectangle straight into `surface`, with pygame.draw.rect's\n"
           "arguments: width 0 fills, a positive width is a border that wide inside the rect, a\n"
           "negative one draws nothing; a corner's radius below 0 takes border_radius; radii are\n"
           "scaled down together where two of them need more than a side.  The surface's clip\n"
           "rect is honoured.  Returns the Rect of the pixels it may have changed.\n\n"
           "rect: a Rect, an FRect or any four numbers; fractional positions and sizes are drawn\n"
           "where they are.  color: anything pygame takes as a colour.  Each pixel is covered by\n"
           "the exact share of its square inside the shape (a border: between the rect and the\n"
           "one inset by width, whose radii are less width, never below 0), and the colour is\n"
           "composited over it at alpha x coverage.  On a surface without per-pixel alpha only\n"
           "the colour bytes are blended.  Any 24- or 32-bit surface.",
});

// shadow(surface, color, rect, blur, spread=0, border_radius=0, border_top_left_radius=-1, ...)
constexpr function_spec shadow = described({
    .name = "shadow",
    .params = {{"surface", any},
               {"color", any},
               {"rect", any},
               {"blur", float64},
               {"spread", float64, true, 0},
               {"border_radius", float64, true, 0},
               {"border_top_left_radius", float64, true, -1},
               {"border_top_right_radius", float64, true, -1},
               {"border_bottom_left_radius", float64, true, -1},
               {"border_bottom_right_radius", float64, true, -1}},
    .body = shadow_body,
    .doc = "Composites the soft shadow of a rounded rectangle straight into `surface`: the rect\n"
           "(radii as rounded_rect takes them) grown by spread on every side, radii too, blurred\n"
           "by a Gaussian of sigma blur / 2, in `color` at alpha x the blurred shape's average\n"
           "over each pixel.  Move the rect to offset the shadow.  The clip rect is honoured;\n"
           "returns the Rect of the pixels it may have changed.  With blur 0 it draws the very\n"
           "bytes rounded_rect fills.",
});

namespace {

static_assert(names_all<rounded_rect, rect_arg>() && names_all<shadow, shadow_arg>());

template <const function_spec& S, class E>
radii_args radii_of(const call_args& a) noexcept {
    return {f64<S, E::border_radius>(a), f64<S, E::border_top_left_radius>(a), f64<S, E::border_top_right_radius>(a),
            f64<S, E::border_bottom_left_radius>(a), f64<S, E::border_bottom_right_radius>(a)};
}

PyObject* rounded_rect_body(const call_args& a) noexcept {
    constexpr const function_spec& S = rounded_rect;
    using enum rect_arg;
    return fs::rounded_rect(obj<S, surface>(a), obj<S, color>(a), obj<S, rect>(a), f64<S, width>(a),
                            radii_of<S, rect_arg>(a));
}

PyObject* shadow_body(const call_args& a) noexcept {
    constexpr const function_spec& S = shadow;
    using enum shadow_arg;
    return shadow_into(obj<S, surface>(a), obj<S, color>(a), obj<S, rect>(a), f64<S, blur>(a), f64<S, spread>(a),
                       radii_of<S, shadow_arg>(a));
}

}  // namespace
}  // namespace functions
}  // namespace fs
