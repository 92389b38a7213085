// Bend sampling fills runs of frames that see the same bend state; it gives
// what sampling every frame one by one gives.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "envelope/bend_sampling.h"
#include "envelope/pitch_values.h"

namespace tonequill {
namespace {

BendSample sampleEveryFrame(BendState& state, const BulkList<PitchBend>& bends, const BulkList<BendRange>& ranges,
                            int32_t startTick, int64_t frames, double ticksPerFrame) {
    BendSample sample;
    advanceBend(state, bends, ranges, startTick);
    for (int64_t i = 0; i < frames; ++i) {
        advanceBend(state, bends, ranges, startTick + std::floor(static_cast<double>(i) * ticksPerFrame));
        SplitPitch split;
        if (state.range > 0.0) {
            split = splitPitch(*roundToInt32((state.bend - 8192.0) / 8192.0 * state.range * 16.0));
        }
        sample.fine.push_back(split.fine);
        sample.coarse.push_back(split.coarse);
    }
    trimTrailingZeros(sample.fine);
    trimTrailingZeros(sample.coarse);
    sample.hasBend = hasNonZero(sample.fine) || hasNonZero(sample.coarse);
    return sample;
}

TEST(BendSampling, RunsOfFramesGiveWhatEveryFrameGives) {
    std::mt19937 random(5);
    const double rates[] = {0.7, 1.0, 3.2, 16.0, 100.5, 1e-3};
    for (int round = 0; round < 400; ++round) {
        BulkList<PitchBend> bends;
        BulkList<BendRange> ranges;
        int32_t tick = 0;
        for (int i = 0; i < 40; ++i) {
            tick += static_cast<int32_t>(random() % 50);
            if (random() % 5 == 0) {
                ranges.push_back({tick, 0, 0, static_cast<double>(static_cast<int>(random() % 14) - 1)});
            } else {
                bends.push_back({tick, 0, 0, static_cast<int32_t>(random() % 16384)});
            }
        }
        const double rate = rates[round % 6];
        BendState fast;
        BendState plain;
        int32_t start = 0;
        for (int note = 0; note < 8; ++note) {
            start += static_cast<int32_t>(random() % 200);
            const int64_t frames = 1 + static_cast<int64_t>(random() % (round % 6 == 5 ? 3 : 60));
            const BendSample got = sampleBend(fast, bends, ranges, start, frames, rate, NoteSite{1, start});
            const BendSample want = sampleEveryFrame(plain, bends, ranges, start, frames, rate);
            ASSERT_EQ(got.fine, want.fine) << "round " << round << ", note " << note;
            ASSERT_EQ(got.coarse, want.coarse) << "round " << round << ", note " << note;
            ASSERT_EQ(got.hasBend, want.hasBend);
            ASSERT_EQ(fast.bendCursor, plain.bendCursor);
            ASSERT_EQ(fast.rangeCursor, plain.rangeCursor);
        }
    }
}

}  // namespace
}  // namespace tonequill
