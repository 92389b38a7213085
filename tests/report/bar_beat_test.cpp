#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "midi_builder.h"
#include "midi/midi_reader.h"
#include "report/bar_beat.h"

namespace tonequill {
namespace {

using testing::TrackBuilder;

MidiFile fileWith(const std::vector<std::pair<int32_t, std::vector<uint8_t>>>& metas, int tpqn = 480) {
    TrackBuilder conductor;
    for (const auto& [tick, bytes] : metas) conductor.raw(tick, bytes);
    TrackBuilder notes;
    notes.note(0, 10, 0, 60);
    const auto bytes = testing::buildMidi({conductor, notes}, tpqn);
    MidiFile file;
    std::string reason;
    EXPECT_TRUE(readMidiBytes(file, bytes, reason)) << reason;
    return file;
}

std::vector<uint8_t> meter(uint8_t numerator, uint8_t power) { return {0xFF, 0x58, 0x04, numerator, power, 24, 8}; }

TEST(BarBeatClock, FourFourWithoutTimeSignatures) {
    const BarBeatClock clock(fileWith({}), 480, 0.1, 192);
    EXPECT_FALSE(clock.fromFile());
    EXPECT_EQ(clock.text(0), "1:1");
    EXPECT_EQ(clock.text(480), "1:2");
    EXPECT_EQ(clock.text(1920 + 960 + 120), "2:3:120");
    // Just before a bar line the output's grid already rounds to the next bar.
    EXPECT_EQ(clock.place(1919), "1:4:479 (MML bar 2)");
    EXPECT_EQ(clock.place(1920), "2:1");
}

TEST(BarBeatClock, FollowsMeterChangesAndStartsANewBarAtEach) {
    // 3/4, then 6/8 from tick 2880 (bar 3), then 4/4 in the middle of bar 4.
    const BarBeatClock clock(fileWith({{0, meter(3, 2)}, {2880, meter(6, 3)}, {2880 + 720, meter(4, 2)}}), 480, 0.1, 192);
    EXPECT_TRUE(clock.fromFile());
    EXPECT_EQ(clock.text(1440), "2:1");
    EXPECT_EQ(clock.place(1440), "2:1 (MML bar 1)");
    EXPECT_EQ(clock.text(2880), "3:1");
    EXPECT_EQ(clock.text(2880 + 240), "3:2");  // eighth-note beats
    EXPECT_EQ(clock.text(2880 + 480), "3:3");
    EXPECT_EQ(clock.text(2880 + 720), "4:1");  // the partial 6/8 bar counts as bar 3
    EXPECT_EQ(clock.text(2880 + 720 + 1920), "5:1");
    EXPECT_EQ(clock.barStart(4), 2880 + 720);
    EXPECT_EQ(clock.barStart(5), 2880 + 720 + 1920);
}

TEST(BarBeatClock, UnusableTimeSignaturesAreLeftOut) {
    // Numerator 0, and a 1/256 beat that is not a whole number of ticks at 480 per quarter.
    const BarBeatClock clock(fileWith({{0, meter(0, 2)}, {0, meter(3, 8)}}), 480);
    EXPECT_FALSE(clock.fromFile());
    EXPECT_EQ(clock.text(1920), "2:1");
    // The later of two at one tick wins.
    const BarBeatClock twice(fileWith({{0, meter(3, 2)}, {0, meter(2, 2)}}), 480);
    EXPECT_EQ(twice.text(960), "2:1");
}

}  // namespace
}  // namespace tonequill
