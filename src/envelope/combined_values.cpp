#include "envelope/combined_values.h"

#include <optional>
#include <string>

#include "envelope/pitch_values.h"
#include "common/conversion_error.h"

namespace tonequill {
namespace {

// The list's value at frame i, or its last value past its end (0 when empty).
int64_t heldAt(const ValueList& values, size_t i) {
    if (values.empty()) return 0;
    return i < values.size() ? values[i] : values.back();
}

int64_t valueAt(std::span<const int32_t> values, size_t i) { return values.empty() ? 0 : values[i]; }

[[noreturn]] void throwOutOfRange(const NoteSite& site, int64_t sum, size_t frame) {
    throw ConversionError("envelope value out of range: " + site.text() + " reaches " + std::to_string(sum) +
                          " sixteenths of a semitone at frame " + std::to_string(frame) + ", beyond 32 bits");
}

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
        if (!v) throwOutOfRange(site, sum, i);
        const SplitPitch split = splitPitch(*v);
        out.fine[i] = split.fine;
        out.coarse[i] = split.coarse;
    }
    trimTrailingZeros(out.fine);
    trimTrailingZeros(out.coarse);
}

void combineRuns(CombinedValues& out, BendRuns& bend, const ValueCycle* vib, const ValueCycle* arp,
                 const NoteSite& site) {
    out.fine.clear();
    out.coarse.clear();
    out.fine.reserve(bend.frames());
    out.coarse.reserve(bend.frames());
    std::optional<CycleReader> vibrato;
    std::optional<CycleReader> arpeggio;
    if (vib != nullptr) vibrato.emplace(*vib);
    if (arp != nullptr) arpeggio.emplace(*arp);
    {
        PairFiller fill(out.fine, out.coarse);
        SplitPitch run;
        size_t length = 0;
        size_t frame = 0;
        while (bend.nextStretch(run, length)) {
            for (const size_t end = frame + length; frame < end; ++frame) {
                // Each term fits in 32 bits, so the sum fits easily in 64.
                const int64_t a = arpeggio ? arpeggio->next() : 0;
                const int64_t v = vibrato ? vibrato->next() : 0;
                const int64_t sum = (a + run.coarse) * 16 + run.fine + v;
                const std::optional<int32_t> narrow = narrowToInt32(sum);
                if (!narrow) {
                    bend.readToEnd();
                    throwOutOfRange(site, sum, frame);
                }
                const SplitPitch split = splitPitch(*narrow);
                fill.add(split.fine, split.coarse);
            }
        }
    }
    trimTrailingZeros(out.fine);
    trimTrailingZeros(out.coarse);
}

}  // namespace tonequill
