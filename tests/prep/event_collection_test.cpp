#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "midi/midi_reader.h"
#include "midi_builder.h"
#include "prep/event_collection.h"

namespace tonequill {
namespace {

using testing::TrackBuilder;

MidiFile read(const std::vector<TrackBuilder>& tracks) {
    MidiFile file;
    std::string reason;
    EXPECT_TRUE(readMidiBytes(file, testing::buildMidi(tracks), reason)) << reason;
    return file;
}

struct Cc {
    int controller;
    int value;
};

std::vector<double> rangesOf(const std::vector<Cc>& controllers) {
    TrackBuilder t;
    for (size_t i = 0; i < controllers.size(); ++i) {
        t.controller(static_cast<int32_t>(i), 2, controllers[i].controller, controllers[i].value);
    }
    std::vector<double> out;
    MidiFile file = read({t});
    const SourceTrackEvents events = collectEvents(file.tracks, 0, 1);
    for (const BendRange& r : events.ranges[0]) out.push_back(r.semitones);
    return out;
}

TEST(BendRangeCollection, FollowsRegisteredParameterZero) {
    struct Case {
        const char* what;
        std::vector<Cc> controllers;
        std::vector<double> ranges;
    };
    const std::vector<Case> cases = {
        {"coarse then fine", {{101, 0}, {100, 0}, {6, 12}, {38, 50}}, {12.0, 12.5}},
        {"coarse drops the hundredths", {{101, 0}, {100, 0}, {6, 12}, {38, 50}, {6, 3}}, {12.0, 12.5, 3.0}},
        {"fine on the starting range", {{101, 0}, {100, 0}, {38, 25}}, {2.25}},
        {"fine twice keeps the whole part", {{101, 0}, {100, 0}, {38, 25}, {38, 75}}, {2.25, 2.75}},
        {"data entry before the parameter is chosen", {{6, 12}, {38, 10}, {101, 0}, {6, 5}, {100, 0}, {6, 7}}, {7.0}},
        {"another parameter selected", {{101, 0}, {100, 1}, {6, 12}, {38, 50}}, {}},
        {"null parameter ends the selection", {{101, 0}, {100, 0}, {6, 4}, {101, 127}, {100, 127}, {6, 9}}, {4.0}},
        {"data bytes are masked to 7 bits", {{101, 0}, {100, 0}, {6, 0x8C}}, {12.0}},
    };
    for (const Case& c : cases) EXPECT_EQ(rangesOf(c.controllers), c.ranges) << c.what;
}

TEST(BendRangeCollection, StateCarriesAcrossTracksPerChannel) {
    TrackBuilder conductor;
    conductor.controller(0, 1, 101, 0).controller(0, 1, 100, 0).controller(0, 1, 6, 12);
    TrackBuilder lead;
    lead.controller(10, 1, 38, 50)   // channel 1: selected in track 0, range 12 -> 12.5
        .controller(20, 2, 6, 7);    // channel 2: nothing selected
    MidiFile file = read({conductor, lead});
    const SourceTrackEvents events = collectEvents(file.tracks, 0, 2);
    EXPECT_EQ(events.rangeCount, 2u);
    ASSERT_EQ(events.ranges[0].size(), 1u);
    EXPECT_EQ(events.ranges[0][0].track, 0);
    EXPECT_DOUBLE_EQ(events.ranges[0][0].semitones, 12.0);
    ASSERT_EQ(events.ranges[1].size(), 1u);
    EXPECT_EQ(events.ranges[1][0].track, 1);
    EXPECT_EQ(events.ranges[1][0].tick, 10);
    EXPECT_EQ(events.ranges[1][0].channel, 1);
    EXPECT_DOUBLE_EQ(events.ranges[1][0].semitones, 12.5);
}

TEST(EventCollection, TakesProgramsBendsAndControllersOneAndTwelve) {
    TrackBuilder t;
    t.program(0, 3, 42).pitchBend(5, 4, 12288).pitchBend(6, 4, 0).controller(7, 5, 1, 64).controller(8, 5, 7, 1);
    t.controller(9, 5, 12, 3);
    MidiFile file = read({t});
    const SourceTrackEvents events = collectEvents(file.tracks, 0, 1);
    ASSERT_EQ(events.programs[0].size(), 1u);
    EXPECT_EQ(events.programs[0][0].channel, 3);
    EXPECT_EQ(events.programs[0][0].program, 42);
    const std::vector<PitchBend> bends(events.bends[0].begin(), events.bends[0].end());
    ASSERT_EQ(bends.size(), 2u);
    EXPECT_EQ(bends[0].value, 12288);
    EXPECT_EQ(bends[0].channel, 4);
    EXPECT_EQ(bends[1].value, 0);
    ASSERT_EQ(events.modulation[0].size(), 1u);
    EXPECT_EQ(events.modulation[0][0].value, 64);
    ASSERT_EQ(events.cc12[0].size(), 1u);
    EXPECT_EQ(events.cc12[0][0].value, 3);
    // The song has the lists now; the notes stay with the file.
    EXPECT_TRUE(file.tracks[0].programs.empty());
    EXPECT_TRUE(file.tracks[0].bends.empty());
    EXPECT_TRUE(file.tracks[0].controllers.empty());
}

TEST(EventCollection, OrdersEventsOfOneTickByChannel) {
    std::vector<MidiTrack> tracks(1);
    tracks[0].programs = {{0, 5, 0, 1}, {0, 2, 0, 2}, {1, 0, 0, 3}};
    tracks[0].controllers = {{0, 3, 12, 1}, {0, 1, 12, 2}, {0, 0, 7, 3}, {0, 2, 1, 4}, {0, 0, 1, 5}};
    const SourceTrackEvents events = collectEvents(tracks, 0, 1);
    ASSERT_EQ(events.programs[0].size(), 3u);
    EXPECT_EQ(events.programs[0][0].channel, 2);
    EXPECT_EQ(events.programs[0][1].channel, 5);
    EXPECT_EQ(events.programs[0][2].program, 3);
    ASSERT_EQ(events.cc12[0].size(), 2u);
    EXPECT_EQ(events.cc12[0][0].channel, 1);
    EXPECT_EQ(events.cc12[0][1].channel, 3);
    ASSERT_EQ(events.modulation[0].size(), 2u);
    EXPECT_EQ(events.modulation[0][0].value, 5);
    EXPECT_EQ(events.modulation[0][1].value, 4);
}

TEST(EventDistribution, DropsTheConductorsOwnAndKeepsModulationAndCc12) {
    TrackBuilder conductor;
    conductor.program(0, 0, 9).controller(0, 0, 1, 30).pitchBend(0, 0, 100);
    TrackBuilder a;
    a.program(0, 0, 1).controller(10, 0, 1, 40).controller(11, 0, 12, 2).controller(12, 0, 7, 100);
    TrackBuilder b;
    b.program(480, 1, 5).program(0, 0, 4).pitchBend(20, 1, 9000);
    MidiFile file = read({conductor, a, b});
    const SourceTrackEvents split = collectEvents(file.tracks, 1, 2);
    EXPECT_EQ(split.programCount, 4u);  // the conductor's are counted too
    EXPECT_EQ(split.bendCount, 2u);
    ASSERT_EQ(split.programs.size(), 2u);
    ASSERT_EQ(split.programs[0].size(), 1u);
    EXPECT_EQ(split.programs[0][0].program, 1);
    EXPECT_EQ(split.programs[0][0].track, 0);
    ASSERT_EQ(split.programs[1].size(), 2u);
    EXPECT_EQ(split.programs[1][0].program, 4);  // ordered by tick
    EXPECT_EQ(split.programs[1][1].program, 5);
    EXPECT_EQ(split.programs[1][1].track, 1);
    ASSERT_EQ(split.modulation[0].size(), 1u);
    EXPECT_EQ(split.modulation[0][0].value, 40);
    ASSERT_EQ(split.cc12[0].size(), 1u);
    EXPECT_EQ(split.cc12[0][0].value, 2);
    EXPECT_TRUE(split.modulation[1].empty());
    EXPECT_TRUE(split.bends[0].empty());
    ASSERT_EQ(split.bends[1].size(), 1u);
    EXPECT_EQ((*split.bends[1].begin()).value, 9000);
    EXPECT_EQ(split.ranges.size(), 2u);
    EXPECT_EQ(split.modulation.size(), 2u);
}

}  // namespace
}  // namespace tonequill
