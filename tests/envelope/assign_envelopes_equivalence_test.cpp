// The envelope pass keeps choices, spelled-out values and token records from
// note to note and reads controllers with cursors; it gives every note the
// record, and leaves the table, that the steps read literally give.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "envelope/note_sources.h"
#include "envelope/pitch_values.h"
#include "envelope/token_expansion.h"
#include "search/plain_record_search.h"
#include "song_fixture.h"

namespace tonequill {
namespace {

using testing::PlainTable;
using testing::SongFixture;
using Values = std::vector<int32_t>;

int32_t lastValueAt(const BulkList<ControlChange>& events, int32_t tick, int32_t none) {
    int32_t value = none;
    for (const ControlChange& e : events) {
        if (e.tick <= tick) value = e.value;
    }
    return value;
}

// One tick is one frame in the fixture's song.
struct PlainBend {
    size_t bendAt = 0;
    size_t rangeAt = 0;
    int32_t bend = 8192;
    double range = 2.0;

    void advance(const BulkList<PitchBend>& bends, const BulkList<BendRange>& ranges, int32_t tick) {
        for (; bendAt < bends.size() && bends[bendAt].tick <= tick; ++bendAt) bend = bends[bendAt].value;
        for (; rangeAt < ranges.size() && ranges[rangeAt].tick <= tick; ++rangeAt) range = ranges[rangeAt].semitones;
    }
};

int32_t heldAt(const Values& values, size_t i) {
    if (values.empty()) return 0;
    return i < values.size() ? values[i] : values.back();
}

// Steps 1 to 7 for every note, every list made afresh.
std::vector<int32_t> plainPass(PlainTable& table, const SongFixture& f) {
    std::vector<int32_t> result(f.song.notes.size(), -1);
    for (int32_t o = 0; o < f.song.outputTrackCount; ++o) {
        if (o == 3 || o == 4) continue;
        const BulkList<int32_t>& track = f.song.trackNotes[static_cast<size_t>(o)];
        std::vector<int32_t> order(track.begin(), track.end());
        std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
            const PreparedNote& x = f.note(a);
            const PreparedNote& y = f.note(b);
            return x.startTick != y.startTick ? x.startTick < y.startTick : x.endTick < y.endTick;
        });
        std::vector<PlainBend> states(static_cast<size_t>(f.song.sourceTrackCount));
        for (const int32_t index : order) {
            const PreparedNote& note = f.note(index);
            const auto s = static_cast<size_t>(note.track);
            const VibratoChoice vibrato =
                pickVibrato(f.tables, lastValueAt(f.song.modulationByTrack[s], note.startTick, 0));
            const auto frames = static_cast<size_t>(std::max(1, note.endTick - note.startTick));
            Values fine;
            Values coarse;
            PlainBend& bend = states[s];
            for (size_t i = 0; i < frames; ++i) {
                bend.advance(f.bends[s], f.ranges[s], note.startTick + static_cast<int32_t>(i));
                SplitPitch split;
                if (bend.range > 0) split = splitPitch(*roundToInt32((bend.bend - 8192.0) / 8192.0 * bend.range * 16.0));
                fine.push_back(split.fine);
                coarse.push_back(split.coarse);
            }
            trimTrailingZeros(fine);
            trimTrailingZeros(coarse);
            const bool hasBend = hasNonZero(fine) || hasNonZero(coarse);
            const ArpeggioChoice arpeggio =
                pickArpeggio(f.tables, note, lastValueAt(f.song.cc12ByTrack[s], note.startTick, -1));
            const int sources = (arpeggio.hasAp ? 1 : 0) + (vibrato.hasEmo ? 1 : 0) + (hasBend ? 1 : 0);
            int32_t k = -1;
            if (sources == 1 && hasBend) {
                k = plainValueRecord(table, fine, coarse);
            } else if (sources == 1 && vibrato.hasEmo) {
                k = plainTokenEm(table, vibrato.tokens, vibrato.name);
            } else if (sources == 1) {
                TokenList tokens = expandArpeggio(arpeggio.tokens, note.chordIntervals).spelled();
                if (tokens.empty()) tokens.emplace_back("0");
                k = plainTokenEn(table, tokens, arpeggio.apText);
            } else if (sources > 1) {
                const auto n = static_cast<int32_t>(frames);
                const Values vib = vibrato.hasEmo ? expandValueTokens(vibrato.tokens, n) : Values(frames, 0);
                const Values arp = arpeggio.hasAp
                                       ? expandNoteTokens(expandArpeggio(arpeggio.tokens, note.chordIntervals).spelled(), n)
                                       : Values(frames, 0);
                Values f1;
                Values c1;
                for (size_t i = 0; i < frames; ++i) {
                    const SplitPitch split =
                        splitPitch((arp[i] + heldAt(coarse, i)) * 16 + heldAt(fine, i) + vib[i]);
                    f1.push_back(split.fine);
                    c1.push_back(split.coarse);
                }
                trimTrailingZeros(f1);
                trimTrailingZeros(c1);
                k = plainValueRecord(table, f1, c1);
                if (k >= 0 && arpeggio.hasAp) {
                    EnvelopeRecord& r = table.records[static_cast<size_t>(k)];
                    r.hasAp = true;
                    r.apText = arpeggio.apText;
                    r.apWithEm = hasBend;
                }
                if (k >= 0 && vibrato.hasEmo) {
                    EnvelopeRecord& r = table.records[static_cast<size_t>(k)];
                    r.hasEmo = true;
                    r.emoName = vibrato.name;
                    r.plusPb = hasBend;
                }
            }
            result[static_cast<size_t>(index)] = k;
        }
    }
    return result;
}

// A song of short and long notes and chords on three source tracks, with
// modulation, controller 12, bends and bend ranges changing all along.
SongFixture randomSong(uint32_t seed, int notes = 120) {
    std::mt19937 random(seed);
    auto pick = [&random](uint32_t n) { return static_cast<int32_t>(random() % n); };
    SongFixture f(6, 3);
    f.tables.emoMap = {{32, {"0", "1", "2", "1", "L", "0", "-1"}}, {64, {"0", "D3", "2", "L", "1", "-1"}}, {100, {}}};
    f.tables.apPcMap = {{1, {"L", "U1"}}, {3, {"0", "12", "L", "7"}}};
    f.tables.apCcMap = {{10, {"U2", "L", "D1"}}, {64, {"L", "0", "12"}}, {70, {}}};
    const int32_t modulations[] = {0, 20, 40, 64, 100};
    const int32_t cc12s[] = {0, 5, 10, 64, 70, 90};
    const Values chords[] = {{4, 7}, {3, 7}, {7}, {4, 7, 12}};
    for (int32_t s = 0; s < 3; ++s) {
        int32_t tick = 0;
        for (int i = 0; i < 40; ++i) {
            tick += pick(30);
            if (pick(4) == 0) f.modulation(s, tick, modulations[pick(5)]);
            if (pick(5) == 0) f.cc12(s, tick, cc12s[pick(6)]);
            if (pick(8) == 0) f.range(s, tick, pick(6) == 0 ? 0.0 : 1.0 + pick(12));
            if (pick(2) == 0) f.bend(s, tick, pick(3) == 0 ? 8192 : pick(16384));
        }
    }
    if (seed % 25 == 0) {
        // Held notes long enough to be handled apart from the rest, before and after shorter ones.
        f.add(0, 0, 100, 100 + 70000, 60, 100, 1);
        f.addChord(1, 1, 50, 50 + 66000, chords[pick(4)], 2);
        f.add(0, 0, 200, 260);
    }
    for (int i = 0; i < notes; ++i) {
        const int32_t output = pick(6);
        const int32_t source = pick(3);
        const int32_t start = pick(1200);
        const int32_t end = start + (pick(10) == 0 ? 150 + pick(100) : pick(40));
        if (pick(4) == 0) {
            f.addChord(output, source, start, end, chords[pick(4)], pick(4));
        } else {
            f.add(output, source, start, end, 60, 100, pick(4));
        }
    }
    return f;
}

// Runs the pass and checks every note's record and the table against the
// literal reading.
void expectLiteralResult(uint32_t seed, int notes) {
    SongFixture f = randomSong(seed, notes);
    PlainTable plain;
    const std::vector<int32_t> want = plainPass(plain, f);
    f.assign();
    for (size_t n = 0; n < f.song.notes.size(); ++n) {
        const int32_t output = [&] {
            for (size_t o = 0; o < f.song.trackNotes.size(); ++o) {
                const auto& list = f.song.trackNotes[o];
                if (std::find(list.begin(), list.end(), static_cast<int32_t>(n)) != list.end()) return static_cast<int32_t>(o);
            }
            return -1;
        }();
        if (output == 3 || output == 4) continue;
        ASSERT_EQ(f.envelopeOf(static_cast<int32_t>(n)), want[n]) << "seed " << seed << ", note " << n;
    }
    ASSERT_EQ(f.envelopes.records.size(), plain.records.size()) << "seed " << seed;
    for (size_t k = 0; k < plain.records.size(); ++k) {
        ASSERT_TRUE(testing::sameRecord(f.envelopes.records[k], plain.records[k]))
            << "seed " << seed << ", record " << k;
    }
}

TEST(AssignEnvelopesEquivalence, GivesWhatTheStepsReadLiterallyGive) {
    for (uint32_t seed = 0; seed < 300; ++seed) {
        ASSERT_NO_FATAL_FAILURE(expectLiteralResult(seed, 120));
    }
}

// Long notes, summed from their bend's runs, with every pairing of sources:
// bends every frame, every few frames, sparse, held, or none, under a
// vibrato, an arpeggio, both, or neither; a note like an earlier one shares
// its record, a longer one lengthens it.
TEST(AssignEnvelopesEquivalence, LongNotesGiveWhatTheStepsReadLiterallyGive) {
    std::mt19937 random(17);
    SongFixture f(6, 6);
    f.tables.emoMap = {{32, {"0", "1", "2", "1", "L", "0", "-1"}}, {64, {"0", "D3", "2", "L", "1", "-1"}}};
    f.tables.apPcMap = {{1, {"L", "U1"}}};
    f.tables.apCcMap = {{64, {"L", "0", "12"}}};
    struct Source {
        int32_t modulation;  // 0: no vibrato
        int32_t cc12;        // 64: an arpeggio on every note; 0: on chords only
        bool chord;
    };
    const Source sources[] = {{0, 0, false}, {32, 0, false}, {0, 64, false}, {64, 0, true}, {0, 0, true}, {32, 64, false}};
    const int32_t spacings[] = {1, 3, 40, 0};  // 0: one bend held throughout
    int32_t start = 0;
    for (int round = 0; round < 2; ++round) {
        for (int32_t s = 0; s < 6; ++s) {
            const int32_t every = spacings[(s + round) % 4];
            const int32_t length = 66000 + round * 3000;
            f.modulation(s, start, sources[s].modulation);
            f.cc12(s, start, sources[s].cc12);
            if (every == 0) {
                f.bend(s, start, 9000);
            } else {
                for (int32_t t = start; t < start + length; t += every) {
                    f.bend(s, t, 8192 + static_cast<int32_t>(random() % 2000) - 1000);
                }
            }
            f.bend(s, start + length, 8192);
            if (sources[s].chord) {
                f.addChord(s, s, start, start + length, {4, 7}, 0);
            } else {
                f.add(s, s, start, start + length);
            }
        }
        // The same held bend again, then longer: the record is shared, then lengthened.
        f.bend(0, start + 70000, 9000);
        f.add(0, 0, start + 70000, start + 70000 + 67000);
        f.bend(0, start + 140000, 9000);
        f.add(0, 0, start + 140000, start + 140000 + 68000);
        start += 210000;
    }
    PlainTable plain;
    const std::vector<int32_t> want = plainPass(plain, f);
    f.assign();
    for (size_t n = 0; n < f.song.notes.size(); ++n) {
        ASSERT_EQ(f.envelopeOf(static_cast<int32_t>(n)), want[n]) << "note " << n;
    }
    ASSERT_EQ(f.envelopes.records.size(), plain.records.size());
    for (size_t k = 0; k < plain.records.size(); ++k) {
        ASSERT_TRUE(testing::sameRecord(f.envelopes.records[k], plain.records[k])) << "record " << k;
    }
}

// Thousands of notes, so that records are shared and lengthened many times.
TEST(AssignEnvelopesEquivalence, GivesWhatTheStepsReadLiterallyGiveOnLargeSongs) {
    for (const uint32_t seed : {1u, 25u, 50u}) ASSERT_NO_FATAL_FAILURE(expectLiteralResult(seed, 4000));
}

}  // namespace
}  // namespace tonequill
