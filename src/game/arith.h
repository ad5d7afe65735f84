// 32-bit race arithmetic that cannot overflow: results beyond the 32-bit range stop at its ends.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

inline int32_t Saturate(int64_t value) {
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

// field += delta, held inside the 32-bit range.
inline void AddTo(int32_t& field, int64_t delta) {
    field = Saturate(static_cast<int64_t>(field) + delta);
}

// Truncation toward zero of a double, held inside the 32-bit range.
inline int32_t TruncateToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

inline int64_t Abs64(int64_t value) { return value < 0 ? -value : value; }
