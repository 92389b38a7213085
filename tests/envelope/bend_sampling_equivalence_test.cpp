// Bend sampling reads a note as runs of frames that hear one value; it gives
// what sampling every frame one by one gives, wherever the events fall.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>

#include "envelope/bend_sampling.h"
#include "envelope/pitch_values.h"

namespace tonequill {
namespace {

BendSample sampleEveryFrame(BendState& state, const BendList& bends, const BulkList<BendRange>& ranges,
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
        BendList bends;
        BulkList<BendRange> ranges;
        int32_t tick = 0;
        for (int i = 0; i < 40; ++i) {
            tick += static_cast<int32_t>(random() % 50);
            if (random() % 5 == 0) {
                ranges.push_back({tick, 0, 0, static_cast<double>(static_cast<int>(random() % 14) - 1)});
            } else {
                bends.push_back({tick, 0, static_cast<uint16_t>(random() % 16384)});
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

// Bends at fixed spacings against the frame rate: every tick, every few
// ticks, just under, at and just past a frame, far sparser than frames; some
// repeat the value before (a hold through events), some only move it within
// one sixteenth, and the range changes now and then. Long notes, so that runs
// span many events and many frames. The runs themselves cover the note, each
// unlike the one before, with their values looked up in a table kept from
// note to note, and sampled into lists with that table.
TEST(BendSampling, RunsFollowBendsAtEverySpacing) {
    struct Rate {
        const char* what;
        double ticksPerFrame;
    };
    const Rate rates[] = {{"16 ticks a frame", 16.0}, {"2.5 ticks a frame", 2.5}, {"under a tick a frame", 0.7},
                          {"a third of a tick", 1.0 / 3.0}, {"odd rate", 13.37}};
    const int32_t spacings[] = {1, 3, 8, 15, 16, 17, 40, 1000};
    std::mt19937 random(11);
    BendValueTable table;  // kept over every note, through every range
    for (const Rate& rate : rates) {
        for (const int32_t every : spacings) {
            for (int shape = 0; shape < 3; ++shape) {
                BendList bends;
                BulkList<BendRange> ranges{{0, 0, 0, 2.0}};
                int32_t value = 8192;
                for (int32_t tick = 0; tick < 60000; tick += every) {
                    if (shape == 0) value = 8192 + static_cast<int32_t>(random() % 4000) - 2000;  // new every time
                    if (shape == 1 && random() % 4 == 0) value = 8192 + static_cast<int32_t>(random() % 4000) - 2000;
                    if (shape == 2) value = std::clamp(value + static_cast<int32_t>(random() % 41) - 20, 0, 16383);
                    bends.push_back({tick, 0, static_cast<uint16_t>(value)});
                    if (random() % 500 == 0) ranges.push_back({tick, 0, 0, static_cast<double>(random() % 13)});
                }
                BendState fast;
                BendState plain;
                BendState byRuns;
                BendState filled;
                int32_t start = 0;
                for (int note = 0; note < 4; ++note) {
                    const int64_t frames = static_cast<int64_t>(1 + random() % (note == 0 ? 9000 : 300));
                    const std::string what = std::string(rate.what) + ", a bend every " + std::to_string(every) +
                                             " ticks, shape " + std::to_string(shape) + ", note " + std::to_string(note);
                    const BendSample got = sampleBend(fast, bends, ranges, start, frames, rate.ticksPerFrame, NoteSite{1, start});
                    const BendSample want = sampleEveryFrame(plain, bends, ranges, start, frames, rate.ticksPerFrame);
                    ASSERT_EQ(got.fine, want.fine) << what;
                    ASSERT_EQ(got.coarse, want.coarse) << what;
                    ASSERT_EQ(got.hasBend, want.hasBend) << what;
                    ASSERT_EQ(fast.bendCursor, plain.bendCursor) << what;
                    ASSERT_EQ(fast.rangeCursor, plain.rangeCursor) << what;

                    BendRuns runs(byRuns, bends, ranges, start, frames, rate.ticksPerFrame, NoteSite{1, start}, &table);
                    ValueList fine;
                    ValueList coarse;
                    SplitPitch value{};
                    SplitPitch before{};
                    size_t length = 0;
                    for (bool first = true; runs.next(value, length); first = false) {
                        ASSERT_GE(length, 1u) << what;
                        ASSERT_TRUE(first || !(value == before)) << what << ": two runs of one value";
                        fine.insert(fine.end(), length, value.fine);
                        coarse.insert(coarse.end(), length, value.coarse);
                        before = value;
                    }
                    ASSERT_EQ(fine.size(), static_cast<size_t>(frames)) << what;
                    if (want.hasBend) {
                        trimTrailingZeros(fine);
                        trimTrailingZeros(coarse);
                    }
                    ASSERT_EQ(fine, want.fine) << what;
                    ASSERT_EQ(coarse, want.coarse) << what;
                    ASSERT_EQ(byRuns.bendCursor, plain.bendCursor) << what;

                    // The same note sampled into lists with the table, as a
                    // long note is: where no range event comes in, the frames
                    // are read in a loop of their own.
                    BendRuns tabled(filled, bends, ranges, start, frames, rate.ticksPerFrame, NoteSite{1, start}, &table);
                    BendSample sample;
                    sampleRuns(sample, tabled);
                    ASSERT_EQ(sample.hasBend, want.hasBend) << what;
                    // A bend that stays 0 leaves the lists empty.
                    ASSERT_EQ(sample.fine, want.hasBend ? want.fine : ValueList{}) << what;
                    ASSERT_EQ(sample.coarse, want.hasBend ? want.coarse : ValueList{}) << what;
                    ASSERT_EQ(filled.bendCursor, plain.bendCursor) << what;
                    ASSERT_EQ(filled.bend, plain.bend) << what;
                    start += static_cast<int32_t>(static_cast<double>(frames) * rate.ticksPerFrame) +
                             static_cast<int32_t>(random() % 50);
                }
            }
        }
    }
}

}  // namespace
}  // namespace tonequill
