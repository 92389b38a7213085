#include "envelope/pitch_values.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tonequill {

SplitPitch splitPitch(int32_t v) {
    if (v >= -64 && v <= 63) return {v, 0};
    const int32_t coarse = v / 16;
    return {v - 16 * coarse, coarse};
}

std::optional<int32_t> roundToInt32(double value) {
    // Where a 32-bit result is possible, truncate and look at the exact
    // remainder (exact, as the value is far below 2^52); elsewhere, and for
    // NaN, the library rounding decides. Halves go away from zero either way.
    if (value > -2147483649.0 && value < 2147483648.0) {
        auto whole = static_cast<int64_t>(value);
        const double rest = value - static_cast<double>(whole);
        if (rest >= 0.5) ++whole;
        if (rest <= -0.5) --whole;
        return narrowToInt32(whole);
    }
    const double rounded = std::round(value);
    // Both limits are exact doubles; NaN fails both comparisons.
    if (rounded >= -2147483648.0 && rounded <= 2147483647.0) return static_cast<int32_t>(rounded);
    return std::nullopt;
}

std::optional<int32_t> narrowToInt32(int64_t value) {
    if (value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max()) {
        return static_cast<int32_t>(value);
    }
    return std::nullopt;
}

}  // namespace tonequill
