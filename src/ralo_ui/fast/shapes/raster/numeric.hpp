// Numeric conversions every kernel shares: narrowing to single precision and truncation to int32.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace fs {

// Rounds a double to the nearest float; finite values beyond the float range
// become infinities (a plain cast would be undefined for them).
inline float narrow(double value) noexcept {
    // Halfway between FLT_MAX and 2^128: from here on round-to-nearest gives infinity.
    constexpr double overflow_threshold = 0x1.ffffffp127;
    if (value >= overflow_threshold) return std::numeric_limits<float>::infinity();
    if (value <= -overflow_threshold) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);  // in range or NaN: defined, rounded to nearest
}

// Converts a float toward zero to int32, saturating at the int32 limits; NaN gives 0.
// The defined way to turn single or double results into integers in this module; a plain
// cast appears only where the value was just checked to lie well inside int32.
inline int32_t trunc_to_int32(double value) noexcept {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);  // truncates toward zero
}

}  // namespace fs
