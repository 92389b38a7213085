// Preparing a song on several threads gives what preparing it on one gives:
// the same notes in the same places, the same log, the same error, and an
// observer hears the same decisions in the same order.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/parallel.h"
#include "mapping/mapping_tables.h"
#include "midi/midi_reader.h"
#include "midi_builder.h"
#include "prep/prep_observer.h"
#include "prep/prepare_song.h"
#include "prep/routing.h"
#include "prep/timing.h"

namespace tonequill {
namespace {

using testing::TrackBuilder;

// A conductor track (mostly) and several source tracks, some sent by "trx"
// names onto output tracks that others have as their home, among them TR4
// and TR5 (no chords there). The notes come in chords, overlap (also on one
// pitch), now and then are never released or end with nothing to end, and
// program changes come on the way. A source track has up to `steps` notes
// or chords.
std::vector<TrackBuilder> randomSong(uint32_t seed, int steps = 120) {
    std::mt19937 random(seed);
    auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<uint32_t>(n)); };
    const std::vector<std::string> names{"", "", "lead", "trx1 lead", "trx2", "TRX3-pad", "trx4_bass", "trx5 drums",
                                         "trx7"};
    std::vector<TrackBuilder> tracks(1);
    tracks[0].name(0, "Song " + std::to_string(seed)).tempo(0, 500000);
    if (seed % 3 == 0) tracks[0].note(0, 100, 0, 40);  // no conductor track then: it is source track 0
    const int sourceTracks = 3 + pick(6);
    for (int s = 0; s < sourceTracks; ++s) {
        TrackBuilder& t = tracks.emplace_back();
        const std::string& name = names[static_cast<size_t>(pick(static_cast<int>(names.size())))];
        if (!name.empty()) t.name(0, name);
        const int channel = pick(4) == 0 ? 9 : pick(4);
        int32_t tick = pick(200);
        for (int i = 0, count = pick(steps); i < count; ++i) {
            if (pick(10) == 0) t.program(tick, channel, pick(128));
            const int chord = pick(3) == 0 ? 2 + pick(3) : 1;
            for (int c = 0; c < chord; ++c) {
                const int32_t start = tick + (c == 0 ? 0 : pick(80));  // some of a chord come a little late
                const int note = 48 + pick(24);
                const int kind = pick(40);
                if (kind == 0) {
                    t.noteOn(start, channel, note, 1 + pick(127));  // never released
                } else if (kind == 1) {
                    t.noteOff(start, channel, note);  // nothing to end
                } else {
                    t.note(start, start + pick(600), channel, note, 1 + pick(127));  // some never last
                }
            }
            tick += pick(4) == 0 ? 0 : pick(400);
        }
    }
    return tracks;
}

MidiFile read(const std::vector<TrackBuilder>& tracks) {
    MidiFile file;
    std::string reason;
    EXPECT_TRUE(readMidiBytes(file, testing::buildMidi(tracks), reason)) << reason;
    return file;
}

// Everything preparation made, one line per item.
std::vector<std::string> linesOf(const PreparedSong& song) {
    std::vector<std::string> lines;
    std::ostringstream out;
    auto line = [&] {
        lines.push_back(out.str());
        out.str("");
    };
    out << "tracks " << song.sourceTrackCount << " -> " << song.outputTrackCount << ", routing";
    for (const int32_t o : song.routing) out << ' ' << o;
    line();
    for (size_t i = 0; i < song.notes.size(); ++i) {
        const PreparedNote& n = song.notes[i];
        out << "note " << i << ": " << n.note << " ch" << n.channel << " src" << n.track << ' ' << n.startTick << '-'
            << n.endTick << " v" << n.velocity << " p" << n.program << " env" << n.envelopeIndex
            << (n.isChord ? " chord" : "");
        for (const int32_t interval : n.chordIntervals) out << ' ' << interval;
        line();
    }
    for (size_t o = 0; o < song.trackNotes.size(); ++o) {
        out << "TR" << o + 1 << ':';
        for (const int32_t i : song.trackNotes[o]) out << ' ' << i;
        line();
    }
    out << "dpcm";
    for (const int32_t n : song.dpcmNotes) out << ' ' << n;
    line();
    out << "combos " << song.combos.size() << ", voices " << song.usedVoices.size();
    line();
    return lines;
}

// What an observer hears, one line per call.
class Transcript : public PrepObserver {
public:
    std::ostringstream text;

    void unreleasedNoteOn(int32_t rawTrack, int32_t channel, int32_t note, int32_t tick, int32_t velocity) override {
        text << "unreleased " << rawTrack << ' ' << channel << ' ' << note << ' ' << tick << ' ' << velocity << '\n';
    }
    void unmatchedNoteOff(int32_t rawTrack, int32_t channel, int32_t note, int32_t tick) override {
        text << "unmatched " << rawTrack << ' ' << channel << ' ' << note << ' ' << tick << '\n';
    }
    void notesRouted(const std::vector<PreparedNote>& routed, const std::vector<std::vector<int32_t>>& members,
                     int32_t rawNoteCount, int32_t offset) override {
        text << "routed " << routed.size() << " of " << rawNoteCount << " offset " << offset << '\n';
        for (const auto& list : members) text << "  members " << list.size() << '\n';
    }
    void sliceLost(int32_t position, int32_t start, int32_t end, int32_t winner) override {
        text << "lost " << position << ' ' << start << '-' << end << " to " << winner << '\n';
    }
    void piecesKept(const std::vector<PreparedNote>& pieces, const std::vector<int32_t>& origins) override {
        text << "pieces";
        for (size_t i = 0; i < pieces.size(); ++i) text << ' ' << origins[i] << ':' << pieces[i].startTick;
        text << '\n';
    }
    void notesGrouped(int32_t output, const std::vector<int32_t>& members, bool chord,
                      const PreparedNote& record) override {
        text << "grouped TR" << output + 1 << (chord ? " chord" : "");
        for (const int32_t k : members) text << ' ' << k;
        text << " -> " << record.note << ' ' << record.startTick << '-' << record.endTick << '\n';
    }
    void overlapCut(int32_t output, const PreparedNote& record, int32_t newEnd) override {
        text << "cut TR" << output + 1 << ' ' << record.startTick << ' ' << record.endTick << "->" << newEnd << '\n';
    }
    void emptyRecordDropped(int32_t output, const PreparedNote& record) override {
        text << "dropped TR" << output + 1 << ' ' << record.startTick << '\n';
    }
};

struct Outcome {
    std::vector<std::string> song;
    std::string log;
    std::string error;  // empty when preparation succeeded
    std::string heard;  // what an observer heard, when one listened
};

Outcome prepareOn(const Parallelism& settings, const MidiFile& file, bool observed = false) {
    Parallelism& inForce = parallelism();
    const Parallelism saved = inForce;
    inForce = settings;
    Outcome outcome;
    PreparedSong song;
    MappingTables tables;
    std::ostringstream log;
    Transcript transcript;
    try {
        prepareSong(song, tables, file, log, observed ? &transcript : nullptr);
        outcome.song = linesOf(song);
    } catch (const std::exception& e) {
        outcome.error = e.what();
    }
    inForce = saved;
    outcome.log = log.str();
    outcome.heard = transcript.text.str();
    return outcome;
}

const Parallelism kOneThread{1, 0};
const Parallelism kFourThreads{4, 0};

// The first line where two lists differ, for a readable failure.
std::string firstDifference(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (a[i] != b[i]) return "line " + std::to_string(i) + ":\n  " + a[i] + "\n  " + b[i];
    }
    return a.size() == b.size() ? "" : "lengths " + std::to_string(a.size()) + " and " + std::to_string(b.size());
}

// Output tracks that more than one source track is sent to.
int sharedOutputTracks(const MidiFile& file) {
    const int32_t offset = hasConductorTrack(file) ? 1 : 0;
    const TrackRouting routing = routeTracks(file, offset, static_cast<int32_t>(file.tracks.size()) - offset);
    std::vector<int> sources(static_cast<size_t>(routing.outputTrackCount), 0);
    int shared = 0;
    for (const int32_t o : routing.routing) shared += ++sources[static_cast<size_t>(o)] == 2 ? 1 : 0;
    return shared;
}

TEST(ParallelPreparation, SeveralThreadsGiveWhatOneGives) {
    int sharedTracks = 0;
    int chords = 0;
    for (uint32_t seed = 0; seed < 42; ++seed) {
        // The last songs are long enough for the threads to work at the same time.
        const MidiFile file = read(randomSong(seed, seed < 40 ? 120 : 3000));
        sharedTracks += sharedOutputTracks(file);
        const Outcome one = prepareOn(kOneThread, file);
        const Outcome four = prepareOn(kFourThreads, file);
        ASSERT_EQ(one.error, "") << "seed " << seed;
        ASSERT_EQ(four.error, "") << "seed " << seed;
        ASSERT_EQ(firstDifference(one.song, four.song), "") << "seed " << seed;
        ASSERT_EQ(one.log, four.log) << "seed " << seed;
        for (const std::string& line : one.song) chords += line.find(" chord") != std::string::npos ? 1 : 0;
    }
    // The songs put arbitration and chord grouping to work.
    EXPECT_GT(sharedTracks, 20);
    EXPECT_GT(chords, 200);
}

TEST(ParallelPreparation, AnObserverHearsTheSameInTheSameOrder) {
    for (uint32_t seed = 100; seed < 110; ++seed) {
        const MidiFile file = read(randomSong(seed));
        const Outcome one = prepareOn(kOneThread, file, true);
        const Outcome four = prepareOn(kFourThreads, file, true);
        ASSERT_EQ(firstDifference(one.song, four.song), "") << "seed " << seed;
        ASSERT_EQ(one.log, four.log) << "seed " << seed;
        ASSERT_EQ(one.heard, four.heard) << "seed " << seed;
        // Listening changes nothing in the song.
        ASSERT_EQ(firstDifference(one.song, prepareOn(kFourThreads, file).song), "") << "seed " << seed;
    }
}

TEST(ParallelPreparation, DroppingTheEventsGivesTheSameSongAndKeepsWhatTheDocumentReads) {
    for (uint32_t seed = 200; seed < 206; ++seed) {
        const MidiFile file = read(randomSong(seed, seed < 205 ? 120 : 3000));
        for (const Parallelism& settings : {kOneThread, kFourThreads}) {
            const Outcome kept = prepareOn(settings, file);
            MidiFile dropped = file;
            Parallelism& inForce = parallelism();
            const Parallelism saved = inForce;
            inForce = settings;
            PreparedSong song;
            MappingTables tables;
            std::ostringstream log;
            prepareSongDroppingEvents(song, tables, dropped, log);
            inForce = saved;
            ASSERT_EQ(firstDifference(kept.song, linesOf(song)), "") << "seed " << seed;
            ASSERT_EQ(kept.log, log.str()) << "seed " << seed;
            ASSERT_EQ(dropped.tracks.size(), file.tracks.size());
            for (const MidiTrack& track : dropped.tracks) EXPECT_TRUE(track.events.empty());
            EXPECT_EQ(dropped.trackNames, file.trackNames);
            EXPECT_EQ(dropped.title, file.title);
            ASSERT_EQ(dropped.tempoEvents.size(), file.tempoEvents.size());
            for (size_t i = 0; i < file.tempoEvents.size(); ++i) {
                EXPECT_EQ(dropped.tempoEvents[i].tick, file.tempoEvents[i].tick);
                EXPECT_EQ(dropped.tempoEvents[i].usPerQuarter, file.tempoEvents[i].usPerQuarter);
            }
        }
    }
}

TEST(ParallelPreparation, TheErrorASequentialRunMeetsFirstWins) {
    // More than 28 output tracks, and two directives too large for a number:
    // the first of those is met first.
    struct Case {
        std::string name2;
        std::string name30;
        std::string error;
    };
    for (const Case& c : {Case{"trx99999999999 lead", "trx4294967296", "stoi argument out of range"},
                          Case{"lead", "trx4294967296", "stoi argument out of range"},
                          Case{"lead", "trx5", "trx destination exceeds TR28"}}) {
        std::vector<TrackBuilder> tracks = randomSong(7);
        tracks.resize(31);
        tracks[2] = TrackBuilder().name(0, c.name2).note(0, 480, 0, 60);
        tracks[30] = TrackBuilder().name(0, c.name30).note(0, 480, 1, 62);
        const MidiFile file = read(tracks);
        const Outcome one = prepareOn(kOneThread, file);
        const Outcome four = prepareOn(kFourThreads, file);
        EXPECT_EQ(one.error, c.error);
        EXPECT_EQ(four.error, c.error);
        EXPECT_EQ(one.log, four.log);
    }
}

}  // namespace
}  // namespace tonequill
