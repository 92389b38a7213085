#include "envelope/combined_values.h"

#include <optional>
#include <string>

#include "envelope/pitch_values.h"
#include "common/conversion_error.h"

namespace tonequill {
namespace {

// The list's value at frame i, or its last value past its end (0 when empty).
int64_t heldAt(const std::vector<int32_t>& values, size_t i) {
    if (values.empty()) return 0;
    return i < values.size() ? values[i] : values.back();
}

int64_t valueAt(std::span<const int32_t> values, size_t i) { return values.empty() ? 0 : values[i]; }

}  // namespace

void combineValues(CombinedValues& out, const BendSample& bend, std::span<const int32_t> vib,
                   std::span<const int32_t> arp, int32_t frames, const NoteSite& site) {
    const size_t count = frames > 0 ? static_cast<size_t>(frames) : 0;
    out.fine.resize(count);
    out.coarse.resize(count);
    for (size_t i = 0; i < count; ++i) {
        // Each term fits in 32 bits, so the sum fits easily in 64.
        const int64_t sum =
            (valueAt(arp, i) + heldAt(bend.coarse, i)) * 16 + heldAt(bend.fine, i) + valueAt(vib, i);
        const std::optional<int32_t> v = narrowToInt32(sum);
        if (!v) {
            throw ConversionError("envelope value out of range: " + site.text() + " reaches " + std::to_string(sum) +
                                  " sixteenths of a semitone at frame " + std::to_string(i) + ", beyond 32 bits");
        }
        const SplitPitch split = splitPitch(*v);
        out.fine[i] = split.fine;
        out.coarse[i] = split.coarse;
    }
    trimTrailingZeros(out.fine);
    trimTrailingZeros(out.coarse);
}

}  // namespace tonequill
