#include "envelope/combined_values.h"

#include <algorithm>
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
    // A block of frames at a time: the bend's stretches, the vibrato and the
    // arpeggio are laid out side by side, then summed and split without a
    // branch per frame, and the block goes onto the lists at once.
    constexpr size_t kBlock = 512;
    int32_t bendFine[kBlock];
    int32_t bendCoarse[kBlock];
    int32_t vibBlock[kBlock] = {};
    int32_t arpBlock[kBlock] = {};
    int32_t fine[kBlock];
    int32_t coarse[kBlock];
    SplitPitch stretch;
    size_t stretchLeft = 0;
    for (size_t base = 0;; ) {
        size_t filled = 0;
        while (filled < kBlock && (stretchLeft > 0 || bend.nextStretch(stretch, stretchLeft))) {
            const size_t take = std::min(stretchLeft, kBlock - filled);
            std::fill_n(bendFine + filled, take, stretch.fine);
            std::fill_n(bendCoarse + filled, take, stretch.coarse);
            filled += take;
            stretchLeft -= take;
        }
        if (filled == 0) break;
        if (vibrato) vibrato->copy(vibBlock, filled);
        if (arpeggio) arpeggio->copy(arpBlock, filled);
        bool outOfRange = false;
        for (size_t k = 0; k < filled; ++k) {
            // Each term fits in 32 bits, so the sum fits easily in 64.
            const int64_t sum = (int64_t{arpBlock[k]} + bendCoarse[k]) * 16 + bendFine[k] + vibBlock[k];
            const auto v = static_cast<int32_t>(sum);  // kept only when it is the sum
            outOfRange |= v != sum;
            // splitPitch without a branch
            const int32_t c = (v < -64) | (v > 63) ? v / 16 : 0;
            fine[k] = v - 16 * c;
            coarse[k] = c;
        }
        if (outOfRange) {
            for (size_t k = 0; k < filled; ++k) {
                const int64_t sum = (int64_t{arpBlock[k]} + bendCoarse[k]) * 16 + bendFine[k] + vibBlock[k];
                if (!narrowToInt32(sum)) {
                    bend.readToEnd();
                    throwOutOfRange(site, sum, base + k);
                }
            }
        }
        out.fine.insert(out.fine.end(), fine, fine + filled);
        out.coarse.insert(out.coarse.end(), coarse, coarse + filled);
        base += filled;
    }
    trimTrailingZeros(out.fine);
    trimTrailingZeros(out.coarse);
}

}  // namespace tonequill
