// The arithmetic the engine follows: Round goes half to even, Trunc drops the fraction, and
// floating-point work happens in extended precision (long double, 64-bit mantissa on x86-64).
#pragma once

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace lumivane {

// Nearest whole number, halves to the even neighbour (the default rounding mode).
inline long double RoundHalfEven(long double v) { return std::nearbyintl(v); }

// v as a 64-bit integer, saturated at the ends of the range (NaN gives 0).
inline std::int64_t SaturateToInt64(long double v) {
    if (std::isnan(v)) return 0;
    constexpr long double lo = -9223372036854775808.0L;
    constexpr long double hi = 9223372036854775807.0L;
    if (v <= lo) return std::numeric_limits<std::int64_t>::min();
    if (v >= hi) return std::numeric_limits<std::int64_t>::max();
    return static_cast<std::int64_t>(v);
}

inline std::int64_t Round64(long double v) { return SaturateToInt64(RoundHalfEven(v)); }
inline std::int64_t Trunc64(long double v) { return SaturateToInt64(std::truncl(v)); }

}  // namespace lumivane
