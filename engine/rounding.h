// The arithmetic the engine follows: Round goes to the nearest whole number with halves to the
// even neighbour, Trunc drops the fraction, and floating-point work is done in extended precision
// (long double, 64-bit mantissa on x86-64).
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace lumivane {

// rint rounds in the current mode, and the program never leaves round-to-nearest; it compiles
// to one instruction, where nearbyint is a library call that saves the FPU state.
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

// v as a 64-bit integer, held inside the 64-bit range (NaN gives 0).
inline std::int64_t SaturateToInt64(long double v) {
    if (std::isnan(v)) return 0;
    constexpr long double lo = -9223372036854775808.0L;
    constexpr long double hi = 9223372036854775807.0L;
    if (v <= lo) return std::numeric_limits<std::int64_t>::min();
    if (v >= hi) return std::numeric_limits<std::int64_t>::max();
    return static_cast<std::int64_t>(v);
}

inline std::int64_t Round64(long double v) {
    return SaturateToInt64(RoundHalfEven(v));
}
inline std::int64_t Trunc64(long double v) {
    return SaturateToInt64(std::truncl(v));
}

}  // namespace lumivane
