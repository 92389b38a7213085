#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "midi/midi_reader.h"
#include "midi_builder.h"
#include "common/conversion_error.h"
#include "prep/prepare_song.h"

namespace tonequill {
namespace {

using testing::TrackBuilder;

MidiFile read(const std::vector<TrackBuilder>& tracks, int division = 480) {
    MidiFile file;
    std::string reason;
    EXPECT_TRUE(readMidiBytes(file, testing::buildMidi(tracks, division), reason)) << reason;
    return file;
}

struct Prepared {
    PreparedSong song;
    std::string log;
};

Prepared prepare(const MidiFile& file) {
    Prepared p;
    std::ostringstream log;
    p.song = prepareSong(file, log);
    p.log = log.str();
    return p;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(PrepareSong, TimingConstantsFromTheStartingTempo) {
    struct Case {
        std::optional<uint32_t> usPerQuarter;
        int division;
        int32_t bpm;
        int32_t timebase;
    };
    for (const Case& c : {Case{std::nullopt, 480, 120, 48}, Case{500000, 96, 120, 48}, Case{468750, 480, 128, 24},
                          Case{468751, 480, 128, 24}, Case{234375, 960, 256, 12}, Case{100000, 480, 600, 12},
                          Case{1, 65535, 60000000, 12}}) {
        TrackBuilder t;
        if (c.usPerQuarter) t.tempo(0, *c.usPerQuarter);
        t.note(0, 480, 0, 60);
        const PreparedSong song = prepare(read({t}, c.division)).song;
        EXPECT_EQ(song.tpqn, c.division);
        EXPECT_EQ(song.initialBpm, c.bpm);
        EXPECT_EQ(song.timebase, c.timebase);
        EXPECT_EQ(song.wholeNoteTicks, 4 * c.timebase);
        EXPECT_DOUBLE_EQ(song.tickScale, static_cast<double>(c.timebase) / c.division);
        ASSERT_FALSE(song.lengthTable.empty());
        EXPECT_EQ(song.lengthTable.front().ticks, 4 * c.timebase);
    }
}

TEST(PrepareSong, RoutesArbitratesGroupsAndAttachesPrograms) {
    TrackBuilder conductor;
    conductor.name(0, "Title").tempo(0, 500000).program(0, 0, 99);
    TrackBuilder lead;  // source 0, directed onto TR2
    lead.name(0, "trx2 lead").program(0, 0, 5).note(0, 960, 0, 72, 100).note(960, 1920, 0, 74, 90);
    TrackBuilder pad;  // source 1, home track of TR2
    pad.program(0, 1, 10).note(480, 1440, 1, 60, 80).note(500, 1440, 1, 64, 100).note(480, 1440, 1, 67, 90);
    TrackBuilder dpcm;  // source 2, onto TR5
    dpcm.name(0, "TRX5").note(0, 240, 9, 40).note(240, 480, 9, 35).note(480, 500, 9, 40);
    const Prepared p = prepare(read({conductor, lead, pad, dpcm}));
    const PreparedSong& song = p.song;

    EXPECT_EQ(song.title, "Title");
    EXPECT_EQ(song.sourceTrackCount, 3);
    EXPECT_EQ(song.outputTrackCount, 5);
    EXPECT_EQ(song.routing, (std::vector<int32_t>{1, 1, 4}));
    ASSERT_EQ(song.trackNotes.size(), 5u);
    ASSERT_EQ(song.programsByTrack.size(), 3u);
    EXPECT_EQ(song.trackNotes[0].size(), 0u);
    ASSERT_EQ(song.trackNotes[1].size(), 3u);
    EXPECT_EQ(song.trackNotes[4].size(), 3u);
    EXPECT_EQ(song.notes.size(), 6u);

    // Output track 0 first, each track in time order.
    EXPECT_EQ(song.trackNotes[1], (BulkList<int32_t>{0, 1, 2}));
    const PreparedNote& first = song.notes[0];
    EXPECT_EQ(first.note, 72);
    EXPECT_EQ(first.startTick, 0);
    EXPECT_EQ(first.endTick, 480);  // the home track takes over at 480
    EXPECT_EQ(first.program, 5);
    EXPECT_EQ(first.track, 0);
    const PreparedNote& chord = song.notes[1];
    EXPECT_TRUE(chord.isChord);
    EXPECT_EQ(chord.note, 60);
    EXPECT_EQ(chord.channel, 1);
    EXPECT_EQ(chord.startTick, 480);
    EXPECT_EQ(chord.endTick, 1440);
    EXPECT_EQ(chord.velocity, 100);
    EXPECT_EQ(chord.chordIntervals, (std::vector<int32_t>{0, 4, 7}));
    EXPECT_EQ(chord.program, 10);
    EXPECT_EQ(chord.track, 1);
    const PreparedNote& last = song.notes[2];
    EXPECT_EQ(last.note, 74);
    EXPECT_EQ(last.startTick, 1440);  // what is left of it after the home track
    EXPECT_EQ(last.endTick, 1920);
    EXPECT_EQ(last.program, 5);

    EXPECT_EQ(song.dpcmNotes, (std::set<int32_t>{35, 40}));
    EXPECT_EQ(song.notes[song.trackNotes[4][2]].startTick, 480);

    EXPECT_TRUE(contains(p.log, "[PREP] programs=3 bends=0 ranges=0\n")) << p.log;
    EXPECT_TRUE(contains(p.log, "[PREP] notes total(raw)=8\n")) << p.log;
    EXPECT_TRUE(contains(p.log, "[TRACK 1] notes=0\n[TRACK 2] notes=3\n[TRACK 3] notes=0\n[TRACK 4] notes=0\n"
                                "[TRACK 5] notes=3\n"))
        << p.log;
}

TEST(PrepareSong, ProgramInForceAtEachNoteStart) {
    TrackBuilder t;
    t.program(10, 0, 5)
        .program(480, 0, 6)
        .program(480, 1, 7)  // same tick, later channel: the one in force from 480
        .note(0, 10, 0, 60)
        .note(10, 479, 0, 62)
        .note(479, 480, 0, 64)
        .note(480, 960, 0, 65)
        .note(2000, 2100, 0, 67);
    const PreparedSong song = prepare(read({t})).song;
    std::vector<int32_t> programs;
    for (const PreparedNote& n : song.notes) programs.push_back(n.program);
    EXPECT_EQ(programs, (std::vector<int32_t>{0, 5, 5, 7, 7}));
}

TEST(PrepareSong, ConductorTrackFeedsTempoAndParametersOnly) {
    TrackBuilder conductor;
    conductor.tempo(0, 468750).noteOn(0, 0, 50, 0).program(0, 0, 1).controller(0, 0, 101, 0).controller(0, 0, 100, 0);
    conductor.pitchBend(5, 0, 0);
    TrackBuilder music;
    music.controller(0, 0, 6, 12).note(0, 480, 0, 60);
    const Prepared p = prepare(read({conductor, music}));
    EXPECT_EQ(p.song.sourceTrackCount, 1);
    EXPECT_EQ(p.song.initialBpm, 128);
    EXPECT_EQ(p.song.notes.size(), 1u);
    EXPECT_EQ(p.song.notes[0].track, 0);
    EXPECT_EQ(p.song.notes[0].program, 0);
    EXPECT_TRUE(contains(p.log, "[PREP] rawTrack=2 offset=1 srcTrack=1 outTrack=1\n")) << p.log;
    EXPECT_TRUE(contains(p.log, "[PREP] programs=1 bends=1 ranges=1\n")) << p.log;
    EXPECT_TRUE(contains(p.log, "[PREP] notes total(raw)=1\n")) << p.log;
}

TEST(PrepareSong, EmptyFileStillHasTR1) {
    MidiFile file;
    file.ticksPerQuarter = 480;
    file.tempoEvents = {TempoEvent{0, 500000.0}};
    const Prepared p = prepare(file);
    EXPECT_EQ(p.song.outputTrackCount, 1);
    EXPECT_EQ(p.song.sourceTrackCount, 0);
    EXPECT_TRUE(contains(p.log, "[TEMPO] events=1\n[TEMPO] tick=0 us/qn=500000\n[PREP] tpqn=480\n"
                                "[PREP] rawTrack=0 offset=0 srcTrack=0 outTrack=1\n"))
        << p.log;
    EXPECT_TRUE(contains(p.log, "[TRACK 1] notes=0\n")) << p.log;
}

TEST(PrepareSong, TooManyTracksStopBeforeTheRoutingLine) {
    MidiFile file;
    file.ticksPerQuarter = 480;
    file.tempoEvents = {TempoEvent{0, 500000.0}};
    file.tracks.resize(29);
    file.trackNames.resize(29);
    file.tracks[0].notes.push_back({0, 0, 60, 1, true});  // no conductor: 29 source tracks
    std::ostringstream log;
    EXPECT_THROW(prepareSong(file, log), ConversionError);
    EXPECT_TRUE(contains(log.str(), "[PREP] tpqn=480\n"));
    EXPECT_FALSE(contains(log.str(), "[PREP] rawTrack="));
}

TEST(PrepareSong, ManyNotesAndProgramChangesStayFast) {
    // One program change per note: looking each program up from the list's
    // start would cost the square of the note count.
    constexpr int32_t kNotes = 200000;
    MidiFile file;
    file.ticksPerQuarter = 480;
    file.tempoEvents = {TempoEvent{0, 500000.0}};
    file.tracks.resize(1);
    file.trackNames.resize(1);
    MidiTrack& track = file.tracks[0];
    for (int32_t i = 0; i < kNotes; ++i) {
        const int32_t tick = i * 100;
        track.programs.push_back({tick, 0, 0, i % 128});
        track.notes.push_back({tick, 0, 60, 100, true});
        track.notes.push_back({tick + 100, 0, 60, 0, false});
    }
    const PreparedSong song = prepare(file).song;
    ASSERT_EQ(song.notes.size(), static_cast<size_t>(kNotes));
    EXPECT_EQ(song.notes[12345].program, 12345 % 128);
    EXPECT_EQ(song.notes.back().program, (kNotes - 1) % 128);
}

}  // namespace
}  // namespace tonequill
