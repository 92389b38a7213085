#include "envelope/combined_values.h"

#include <optional>

#include "envelope/pitch_values.h"
#include "prep/conversion_error.h"

namespace tonequill {
namespace {

// The list's value at frame i, or its last value past its end (0 when empty).
int64_t heldAt(const std::vector<int32_t>& values, size_t i) {
    if (values.empty()) return 0;
    return i < values.size() ? values[i] : values.back();
}

int64_t orZero(const std::vector<int32_t>& values, size_t i) { return i < values.size() ? values[i] : 0; }

}  // namespace

CombinedValues combineValues(const BendSample& bend, const std::vector<int32_t>& vib,
                             const std::vector<int32_t>& arp, int32_t frames, const NoteSite& site) {
    CombinedValues out;
    const size_t count = frames > 0 ? static_cast<size_t>(frames) : 0;
    out.fine.reserve(count);
    out.coarse.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        // Each term fits in 32 bits, so the sum fits easily in 64.
        const int64_t sum = (orZero(arp, i) + heldAt(bend.coarse, i)) * 16 + heldAt(bend.fine, i) + orZero(vib, i);
        const std::optional<int32_t> v = narrowToInt32(sum);
        if (!v) {
            throw ConversionError("envelope value out of range: " + site.text() + " reaches " + std::to_string(sum) +
                                  " sixteenths of a semitone at frame " + std::to_string(i) + ", beyond 32 bits");
        }
        const SplitPitch split = splitPitch(*v);
        out.fine.push_back(split.fine);
        out.coarse.push_back(split.coarse);
    }
    trimTrailingZeros(out.fine);
    trimTrailingZeros(out.coarse);
    return out;
}

}  // namespace tonequill
