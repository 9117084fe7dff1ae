// Where a rounded rectangle's corners lie: the radii bounded and the geometry formed, each value rounded once.
#include "geometry.hpp"

#include "numeric.hpp"

#include <initializer_list>

namespace fs {

corner_geometry filled_geometry(int32_t width, int32_t height, corner_radii radii) noexcept {
    // No radius may exceed half the smaller side.  Formed in double from the
    // integers and rounded once; `min_dim < r` keeps a NaN radius NaN, and the
    // corner loop skips it.
    const float min_dim = narrow((width < height ? width : height) / 2.0);
    for (float* r : {&radii.top_left, &radii.top_right, &radii.bottom_right, &radii.bottom_left}) {
        if (min_dim < *r) *r = min_dim;
    }
    // The rectangle's edges lie on the outer edges of the border pixels: half
    // extents width / 2 and height / 2 about the pixel-centre midpoint.  Each is
    // formed in double from the integers and rounded once to single precision.
    return {
        .top_left = radii.top_left,
        .top_right = radii.top_right,
        .bottom_right = radii.bottom_right,
        .bottom_left = radii.bottom_left,
        .center_x = narrow((static_cast<double>(width) - 1.0) / 2.0),
        .center_y = narrow((static_cast<double>(height) - 1.0) / 2.0),
        .half_w = narrow(width / 2.0),
        .half_h = narrow(height / 2.0),
    };
}

corner_radii bounded_in_place(int32_t width, int32_t height, corner_radii radii) noexcept {
    // Radii lie between 0 and half the smaller side.  Each half is formed in
    // double from the integer and rounded once; NaN fails both comparisons,
    // stays NaN and is skipped like 0.
    const float max_radius_w = narrow(width / 2.0);
    const float max_radius_h = narrow(height / 2.0);
    const float max_radius = max_radius_h < max_radius_w ? max_radius_h : max_radius_w;
    for (float* r : {&radii.top_left, &radii.top_right, &radii.bottom_right, &radii.bottom_left}) {
        if (*r < 0.0f) *r = 0.0f;
        if (max_radius < *r) *r = max_radius;
    }
    return radii;
}

bool any_corner(const corner_radii& radii) noexcept {
    return radii.top_left > 0.0f || radii.top_right > 0.0f || radii.bottom_right > 0.0f || radii.bottom_left > 0.0f;
}

corner_geometry in_place_geometry(int32_t width, int32_t height, corner_radii radii) noexcept {
    // The rectangle's edges pass through the centres of the border pixels: the
    // half extents equal the centre, (width - 1) / 2 and (height - 1) / 2, each
    // formed in double from the integer and rounded once to single precision.
    const float center_x = narrow((static_cast<double>(width) - 1.0) / 2.0);
    const float center_y = narrow((static_cast<double>(height) - 1.0) / 2.0);
    return {
        .top_left = radii.top_left,
        .top_right = radii.top_right,
        .bottom_right = radii.bottom_right,
        .bottom_left = radii.bottom_left,
        .center_x = center_x,
        .center_y = center_y,
        .half_w = center_x,
        .half_h = center_y,
    };
}

}  // namespace fs
