#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "midi/midi_reader.h"
#include "midi_builder.h"
#include "prep/note_extraction.h"

namespace tonequill {
namespace {

using testing::TrackBuilder;

// (track, start, end) of a note, for compact expectations.
using Span = std::tuple<int32_t, int32_t, int32_t>;

MidiFile read(const std::vector<TrackBuilder>& tracks) {
    MidiFile file;
    std::string reason;
    EXPECT_TRUE(readMidiBytes(file, testing::buildMidi(tracks), reason)) << reason;
    return file;
}

std::vector<Span> spansOf(const BulkList<PreparedNote>& notes) {
    std::vector<Span> out;
    for (const PreparedNote& n : notes) out.emplace_back(n.track, n.startTick, n.endTick);
    return out;
}

TEST(NotePairing, MostRecentNoteOnEndsFirst) {
    TrackBuilder t;
    t.noteOn(0, 0, 60, 100).noteOn(100, 0, 60, 50).noteOff(200, 0, 60).noteOff(300, 0, 60);
    const auto notes = pairNotes(read({t}));
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(spansOf(notes), (std::vector<Span>{{0, 0, 300}, {0, 100, 200}}));
    EXPECT_EQ(notes[0].velocity, 100);
    EXPECT_EQ(notes[1].velocity, 50);
}

TEST(NotePairing, PairsPerTrackAndChannel) {
    TrackBuilder a;
    a.noteOn(0, 0, 60, 90)
        .noteOn(0, 1, 60, 80)
        .noteOn(10, 0, 62, 0)   // velocity 0: a note-off with nothing pending
        .noteOff(20, 1, 60)     // ends channel 1's note only
        .noteOn(30, 0, 60, 0)   // ends channel 0's note
        .noteOff(40, 0, 60)     // nothing left to end
        .noteOn(50, 0, 64, 70)  // never released: dropped
        .raw(60, {0x90, 65, 100})
        .raw(60, {0x80, 65, 0});  // zero length, still a raw note
    TrackBuilder b;
    b.noteOff(0, 0, 64).note(5, 15, 0, 64, 33);  // track 0's pending 64 does not carry over
    const auto notes = pairNotes(read({a, b}));
    ASSERT_EQ(notes.size(), 4u);
    EXPECT_EQ(spansOf(notes), (std::vector<Span>{{0, 0, 20}, {0, 0, 30}, {0, 60, 60}, {1, 5, 15}}));
    EXPECT_EQ(notes[0].channel, 1);
    EXPECT_EQ(notes[0].velocity, 80);
    EXPECT_EQ(notes[1].channel, 0);
    EXPECT_EQ(notes[1].velocity, 90);
    EXPECT_EQ(notes[3].note, 64);
    EXPECT_EQ(notes[3].velocity, 33);
    for (const PreparedNote& n : notes) {
        EXPECT_EQ(n.program, 0);
        EXPECT_FALSE(n.isChord);
    }
}

struct Piece {
    int32_t track;
    int32_t start;
    int32_t end;
};

std::vector<Span> arbitrate(const std::vector<Piece>& notes, const std::vector<bool>& home) {
    BulkList<PreparedNote> routed;
    std::vector<int32_t> members;
    for (const Piece& p : notes) {
        PreparedNote n;
        n.track = p.track;
        n.startTick = p.start;
        n.endTick = p.end;
        members.push_back(static_cast<int32_t>(routed.size()));
        routed.push_back(n);
    }
    return spansOf(arbitrateTrack(routed, members, static_cast<int32_t>(home.size()), home));
}

TEST(Arbitration, OneTrackSoundsAtATime) {
    struct Case {
        const char* what;
        std::vector<Piece> notes;
        std::vector<bool> home;
        std::vector<Span> kept;
    };
    const std::vector<bool> homeIs3 = {false, false, false, true};
    const std::vector<Case> cases = {
        {"a lone track keeps every note whole",
         {{0, 0, 480}, {0, 240, 960}, {0, 960, 1200}, {0, 1500, 1600}},
         {true},
         {{0, 0, 480}, {0, 240, 960}, {0, 960, 1200}, {0, 1500, 1600}}},
        {"a directive track starts late after the home track",
         {{3, 0, 960}, {1, 480, 1440}},
         homeIs3,
         {{3, 0, 960}, {1, 960, 1440}}},
        {"a directive track fills the home track's gap only",
         {{3, 0, 480}, {3, 960, 1440}, {1, 0, 1440}},
         homeIs3,
         {{3, 0, 480}, {1, 480, 960}, {3, 960, 1440}}},
        {"the lower directive track wins",
         {{5, 0, 1440}, {2, 480, 960}},
         std::vector<bool>(6, false),
         {{5, 0, 480}, {2, 480, 960}, {5, 960, 1440}}},
        {"a self-directed track loses to a home track",
         {{0, 0, 960}, {1, 0, 960}},
         {false, true},
         {{1, 0, 960}}},
        {"the winner keeps all its sounding notes",
         {{1, 0, 960}, {1, 0, 480}, {0, 240, 720}},
         {false, true},
         {{1, 0, 480}, {1, 0, 960}}},
        {"notes without length take no part",
         {{0, 100, 100}, {1, 50, 200}, {0, 300, 200}},
         {true, false},
         {{1, 50, 200}}},
        {"a note cut into several pieces",
         {{1, 0, 1000}, {0, 100, 200}, {0, 200, 300}, {0, 500, 600}},
         {true, false},
         {{1, 0, 100}, {0, 100, 200}, {0, 200, 300}, {1, 300, 500}, {0, 500, 600}, {1, 600, 1000}}},
        {"a home track takes the middle of another track's notes",
         {{1, 0, 100}, {1, 200, 300}, {0, 50, 250}},
         {true, false},
         {{1, 0, 50}, {0, 50, 250}, {1, 250, 300}}},
    };
    for (const Case& c : cases) EXPECT_EQ(arbitrate(c.notes, c.home), c.kept) << c.what;
    EXPECT_TRUE(arbitrate({}, {true}).empty());
}

TEST(Arbitration, KeepsEveryOtherField) {
    BulkList<PreparedNote> routed(2);
    routed[0] = PreparedNote{64, 3, 0, 0, 960, 77, 0, false, {}};
    routed[1] = PreparedNote{50, 9, 1, 480, 600, 12, 0, false, {}};
    const auto kept = arbitrateTrack(routed, {0, 1}, 2, {false, true});
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(spansOf(kept), (std::vector<Span>{{0, 0, 480}, {1, 480, 600}, {0, 600, 960}}));
    EXPECT_EQ(kept[2].note, 64);
    EXPECT_EQ(kept[2].channel, 3);
    EXPECT_EQ(kept[2].velocity, 77);
}

TEST(Arbitration, HugePileOfOverlappingNotesStaysFast) {
    // Every note sounds until the end: cutting slice by slice would touch
    // every sounding note at every tick.
    constexpr int32_t kNotes = 200000;
    BulkList<PreparedNote> routed(kNotes);
    std::vector<int32_t> members(kNotes);
    for (int32_t i = 0; i < kNotes; ++i) {
        routed[static_cast<size_t>(i)].track = i % 2;
        routed[static_cast<size_t>(i)].startTick = i;
        routed[static_cast<size_t>(i)].endTick = 2 * kNotes - i;
        members[static_cast<size_t>(i)] = i;
    }
    const auto kept = arbitrateTrack(routed, members, 2, {false, true});
    // Home track 1 sounds from tick 1 to 2N-1 and keeps every note whole;
    // track 0 keeps only the first and the last tick of its longest note.
    std::vector<Span> track0;
    for (const PreparedNote& n : kept) {
        if (n.track == 0) track0.emplace_back(n.track, n.startTick, n.endTick);
    }
    EXPECT_EQ(track0, (std::vector<Span>{{0, 0, 1}, {0, 2 * kNotes - 1, 2 * kNotes}}));
    EXPECT_EQ(kept.size(), static_cast<size_t>(kNotes / 2 + 2));
}

}  // namespace
}  // namespace tonequill
