#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "midi/midi_reader.h"
#include "midi_builder.h"
#include "prep/timing.h"

namespace tonequill {
namespace {

using testing::TrackBuilder;

MidiFile read(const std::vector<TrackBuilder>& tracks) {
    MidiFile file;
    std::string reason;
    EXPECT_TRUE(readMidiBytes(file, testing::buildMidi(tracks), reason)) << reason;
    return file;
}

TEST(ConductorTrack, TrackZeroWithoutSoundingNotesConducts) {
    struct Case {
        const char* what;
        std::vector<TrackBuilder> tracks;
        bool conductor;
    };
    TrackBuilder meta;
    meta.name(0, "Song").tempo(0, 500000);
    TrackBuilder silentOns;  // note-ons of velocity 0 are note-offs
    silentOns.noteOn(0, 0, 60, 0).program(0, 0, 3);
    TrackBuilder sounding;
    sounding.note(0, 480, 0, 60);
    TrackBuilder offsOnly;
    offsOnly.noteOff(10, 0, 60);
    const std::vector<Case> cases = {
        {"meta only, two tracks", {meta, sounding}, true},
        {"note-ons of velocity 0", {silentOns, sounding}, true},
        {"note-offs only", {offsOnly, sounding}, true},
        {"track 0 sounds", {sounding, sounding}, false},
        {"one silent track", {meta}, false},
        {"one track with notes", {sounding}, false},
    };
    for (const Case& c : cases) EXPECT_EQ(hasConductorTrack(read(c.tracks)), c.conductor) << c.what;
    EXPECT_FALSE(hasConductorTrack(MidiFile{}));
}

TEST(StartingTempo, FirstSetTempoOfAnyTrackRoundedHalfUp) {
    struct Case {
        uint32_t usPerQuarter;
        int32_t bpm;
    };
    for (const Case& c : {Case{500000, 120}, Case{468750, 128}, Case{468751, 128}, Case{1000000, 60},
                          Case{1, 60000000}, Case{16777215, 4}, Case{461539, 130}, Case{461540, 130}}) {
        TrackBuilder conductor;
        conductor.tempo(0, c.usPerQuarter);
        EXPECT_EQ(startingBpm(read({conductor})), c.bpm) << c.usPerQuarter;
    }
}

TEST(StartingTempo, ScansTracksInOrderNotByTick) {
    TrackBuilder none;
    none.note(0, 10, 0, 60);
    EXPECT_EQ(startingBpm(read({none})), 120);

    // Track 1 holds the first Set Tempo in track order, even though track 2's is earlier in time.
    TrackBuilder late;
    late.tempo(960, 1000000).tempo(1920, 250000);
    TrackBuilder early;
    early.tempo(0, 250000);
    EXPECT_EQ(startingBpm(read({none, late, early})), 60);
}

TEST(Timebase, KeepsTimebaseTimesTempoInRange) {
    struct Case {
        int32_t bpm;
        int32_t timebase;
    };
    for (const Case& c : {Case{1, 48}, Case{120, 48}, Case{127, 48}, Case{128, 24}, Case{255, 24}, Case{256, 12},
                          Case{511, 12}, Case{512, 12}, Case{60000000, 12}, Case{2147483647, 12}}) {
        EXPECT_EQ(chooseTimebase(c.bpm), c.timebase) << c.bpm;
    }
}

}  // namespace
}  // namespace tonequill
