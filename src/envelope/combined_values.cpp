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

}  // namespace

CombinedValues combineValues(const BendSample& bend, std::vector<int32_t> vib, std::vector<int32_t> arp,
                             int32_t frames, const NoteSite& site) {
    const size_t count = frames > 0 ? static_cast<size_t>(frames) : 0;
    // A long note's lists are large: the results take over the storage of the
    // vibrato and arpeggio values, which frame i reads before it writes.
    CombinedValues out;
    if (vib.size() == count) out.fine = std::move(vib);
    else out.fine.assign(count, 0);
    if (arp.size() == count) out.coarse = std::move(arp);
    else out.coarse.assign(count, 0);
    for (size_t i = 0; i < count; ++i) {
        // Each term fits in 32 bits, so the sum fits easily in 64.
        const int64_t sum = (int64_t{out.coarse[i]} + heldAt(bend.coarse, i)) * 16 + heldAt(bend.fine, i) +
                            int64_t{out.fine[i]};
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
    return out;
}

}  // namespace tonequill
