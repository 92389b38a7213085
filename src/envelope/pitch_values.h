#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tonequill {

// A pitch offset in sixteenths of a semitone, split for the two envelopes:
// `fine` goes to Em, `coarse` (whole semitones) to En.
struct SplitPitch {
    int32_t fine = 0;
    int32_t coarse = 0;
    bool operator==(const SplitPitch&) const = default;
};

// Small offsets (-64..63) stay fine; larger ones move whole semitones to
// coarse, leaving fine in -15..15 with the sign of the offset.
SplitPitch splitPitch(int32_t v);

// Cuts a run of two or more zeros after the last non-zero value down to one
// zero. A list of zeros only, or with at most one trailing zero, is kept.
template <typename List>
void trimTrailingZeros(List& values) {
    const auto lastNonZero = std::find_if(values.rbegin(), values.rend(), [](int32_t v) { return v != 0; });
    if (lastNonZero == values.rend()) return;
    const auto keep = static_cast<std::size_t>(values.rend() - lastNonZero) + 1;  // the value and one zero
    if (values.size() > keep) values.resize(keep);
}

// True when some value is not 0.
template <typename List>
bool hasNonZero(const List& values) {
    return std::any_of(values.begin(), values.end(), [](int32_t v) { return v != 0; });
}

// The nearest 32-bit value, halves away from zero; nothing when it does not
// fit or is not a number.
std::optional<int32_t> roundToInt32(double value);

// The value itself when it fits in 32 bits; nothing otherwise.
std::optional<int32_t> narrowToInt32(int64_t value);

}  // namespace tonequill
