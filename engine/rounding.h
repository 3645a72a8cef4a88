// Rounding as the engine's arithmetic uses it: to the nearest whole number, halves to the even
// neighbour. rint rounds in the current mode, and the program never leaves round-to-nearest; it
// compiles to one instruction, where nearbyint is a library call that saves the FPU state.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace lumivane {

inline long double RoundHalfEven(long double v) {
    return std::rint(v);
}

// A whole-number field value as a 32-bit integer: rounded half to even and held inside the
// 32-bit range, so a typed extreme value cannot overflow the integer arithmetic that follows.
// NaN counts as 0.
inline std::int32_t FieldToInt(double v) {
    if (std::isnan(v)) return 0;
    constexpr double lo = std::numeric_limits<std::int32_t>::min();
    constexpr double hi = std::numeric_limits<std::int32_t>::max();
    const double r = std::rint(v);
    if (r <= lo) return std::numeric_limits<std::int32_t>::min();
    if (r >= hi) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(r);
}

}  // namespace lumivane
