// Note pairing places each note at its note-on and orders only notes that
// start together; it gives the list that pairing at note-offs and then a
// stable sort by track, start and end gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "prep/note_extraction.h"

namespace tonequill {
namespace {

BulkList<PreparedNote> pairAtNoteOffs(const MidiFile& file) {
    BulkList<PreparedNote> notes;
    for (size_t r = 0; r < file.tracks.size(); ++r) {
        std::vector<std::vector<std::pair<int32_t, int32_t>>> pending(16 * 256);  // (tick, velocity)
        for (const NoteEvent& e : file.tracks[r].notes) {
            auto& stack = pending[e.channel * 256u + e.note];
            if (e.on) {
                stack.emplace_back(e.tick, e.velocity);
            } else if (!stack.empty()) {
                PreparedNote n;
                n.note = e.note;
                n.channel = e.channel;
                n.track = static_cast<int32_t>(r);
                n.startTick = stack.back().first;
                n.endTick = e.tick;
                n.velocity = stack.back().second;
                stack.pop_back();
                notes.push_back(n);
            }
        }
    }
    std::stable_sort(notes.begin(), notes.end(), [](const PreparedNote& a, const PreparedNote& b) {
        return std::tie(a.track, a.startTick, a.endTick) < std::tie(b.track, b.startTick, b.endTick);
    });
    return notes;
}

TEST(NotePairingEquivalence, GivesWhatPairingAtNoteOffsAndSortingGives) {
    for (uint32_t seed = 0; seed < 300; ++seed) {
        std::mt19937 random(seed);
        auto pick = [&random](uint32_t n) { return static_cast<int32_t>(random() % n); };
        MidiFile file;
        file.tracks.resize(1 + static_cast<size_t>(pick(3)));
        for (MidiTrack& track : file.tracks) {
            int32_t tick = 0;
            for (int i = 0; i < 80; ++i) {
                tick += pick(3) == 0 ? 0 : pick(40);  // many events share a tick: chords, ends and starts together
                const auto channel = static_cast<uint8_t>(pick(2));
                const auto note = static_cast<uint8_t>(60 + pick(4));
                const int kind = pick(9);
                if (kind < 5) {
                    track.notes.push_back({tick, channel, note, static_cast<uint8_t>(1 + pick(127)), true});
                } else if (kind < 8) {
                    track.notes.push_back({tick, channel, note, 64, false});
                } else {
                    track.notes.push_back({tick, channel, note, 0, false});
                }
            }
        }
        const BulkList<PreparedNote> want = pairAtNoteOffs(file);
        const BulkList<PreparedNote> got = pairNotes(file);
        ASSERT_EQ(got.size(), want.size()) << "seed " << seed;
        for (size_t i = 0; i < want.size(); ++i) {
            const PreparedNote& a = got[i];
            const PreparedNote& b = want[i];
            ASSERT_EQ(std::tie(a.track, a.startTick, a.endTick, a.note, a.channel, a.velocity),
                      std::tie(b.track, b.startTick, b.endTick, b.note, b.channel, b.velocity))
                << "seed " << seed << ", note " << i;
        }
    }
}

}  // namespace
}  // namespace tonequill
