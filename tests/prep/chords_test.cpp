#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "prep/chords.h"

namespace tonequill {
namespace {

struct In {
    int32_t note;
    int32_t start;
    int32_t end;
    int32_t velocity = 100;
    int32_t channel = 0;
};

// (note, start, end, velocity, isChord, intervals) of a record.
using Out = std::tuple<int32_t, int32_t, int32_t, int32_t, bool, std::vector<int32_t>>;

std::vector<Out> group(const std::vector<In>& notes, int32_t outputIndex, int32_t threshold = 60) {
    BulkList<PreparedNote> arbitrated;
    std::vector<int32_t> members;
    for (const In& i : notes) {
        PreparedNote n;
        n.note = i.note;
        n.startTick = i.start;
        n.endTick = i.end;
        n.velocity = i.velocity;
        n.channel = i.channel;
        members.push_back(static_cast<int32_t>(arbitrated.size()));
        arbitrated.push_back(n);
    }
    std::vector<Out> out;
    for (const PreparedNote& r : groupChords(arbitrated, members, outputIndex, threshold)) {
        out.emplace_back(r.note, r.startTick, r.endTick, r.velocity, r.isChord, r.chordIntervals);
    }
    return out;
}

TEST(ChordThreshold, A32ndNoteButAtLeastOneTick) {
    struct Case {
        int32_t tpqn;
        int32_t threshold;
    };
    for (const Case& c : {Case{480, 60}, Case{96, 12}, Case{17, 2}, Case{8, 1}, Case{4, 1}, Case{1, 1},
                          Case{65535, 8191}}) {
        EXPECT_EQ(chordThreshold(c.tpqn), c.threshold) << c.tpqn;
    }
}

TEST(ChordGrouping, NotesStartingTogetherBecomeOneRecord) {
    struct Case {
        const char* what;
        std::vector<In> notes;
        int32_t outputIndex;
        std::vector<Out> records;
    };
    const std::vector<Case> cases = {
        {"a triad sounds as its lowest note",
         {{67, 0, 480}, {60, 0, 480}, {64, 0, 480}},
         0,
         {{60, 0, 480, 100, true, {0, 4, 7}}}},
        {"group start, group end and the loudest member",
         {{64, 0, 960, 100}, {60, 10, 480, 80}},
         1,
         {{60, 0, 960, 100, true, {0, 4}}}},
        {"within the threshold of the group start, before its end",
         {{60, 0, 480}, {64, 30, 480}, {67, 60, 480}, {72, 61, 480}},
         0,
         {{60, 0, 61, 100, true, {0, 4, 7}}, {72, 61, 480, 100, false, {}}}},
        {"one pitch twice gives a single interval",
         {{60, 0, 480, 50}, {60, 20, 240, 90}},
         0,
         {{60, 0, 480, 90, true, {0}}}},
        {"intervals beyond an octave, duplicates once",
         {{48, 0, 100}, {79, 0, 100}, {60, 5, 100}, {79, 5, 100}},
         5,
         {{48, 0, 100, 100, true, {0, 12, 31}}}},
        {"a legato line stays single notes cut at the next start",
         {{60, 0, 500}, {62, 200, 700}, {64, 400, 900}},
         0,
         {{60, 0, 200, 100, false, {}}, {62, 200, 400, 100, false, {}}, {64, 400, 900, 100, false, {}}}},
        {"a note starting at the group end opens a new group",
         {{60, 0, 30}, {64, 30, 100}},
         0,
         {{60, 0, 30, 100, false, {}}, {64, 30, 100, 100, false, {}}}},
        {"a joining member raises the group end",
         {{60, 0, 20}, {64, 10, 200}, {67, 40, 80}},
         0,
         {{60, 0, 200, 100, true, {0, 4, 7}}}},
        {"TR4 keeps the later hit of a group with its own times",
         {{36, 0, 100, 127}, {38, 20, 100, 40}},
         3,
         {{38, 20, 100, 40, false, {}}}},
        {"TR4 hits in separate groups both stay",
         {{36, 0, 10}, {38, 20, 30}},
         3,
         {{36, 0, 10, 100, false, {}}, {38, 20, 30, 100, false, {}}}},
        {"TR5 makes no chords either; the kept note is the last by start then end",
         {{42, 10, 50}, {40, 0, 300}, {41, 0, 100}},
         4,
         {{42, 10, 50, 100, false, {}}}},
        {"records left without length are dropped",
         {{60, 100, 100}, {62, 200, 300}},
         0,
         {{62, 200, 300, 100, false, {}}}},
    };
    for (const Case& c : cases) EXPECT_EQ(group(c.notes, c.outputIndex), c.records) << c.what;
    EXPECT_TRUE(group({}, 0).empty());
}

TEST(ChordGrouping, ThresholdOfOneTick) {
    const std::vector<In> notes = {{60, 0, 100}, {64, 1, 100}, {67, 2, 100}};
    EXPECT_EQ(group(notes, 0, 1), (std::vector<Out>{{60, 0, 2, 100, true, {0, 4}}, {67, 2, 100, 100, false, {}}}));
}

TEST(ChordGrouping, ChordCopiesTheFirstLowestMember) {
    BulkList<PreparedNote> arbitrated(3);
    arbitrated[0] = PreparedNote{64, 1, 2, 0, 480, 90, 0, false, {}};
    arbitrated[1] = PreparedNote{60, 5, 2, 0, 480, 70, 0, false, {}};
    arbitrated[2] = PreparedNote{60, 9, 2, 10, 480, 80, 0, false, {}};
    const auto records = groupChords(arbitrated, {0, 1, 2}, 0, 60);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].channel, 5);
    EXPECT_EQ(records[0].track, 2);
    EXPECT_EQ(records[0].velocity, 90);
    EXPECT_EQ(records[0].chordIntervals, (std::vector<int32_t>{0, 4}));
}

}  // namespace
}  // namespace tonequill
