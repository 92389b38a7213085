#include "envelope/assign_envelopes.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/conversion_error.h"
#include "envelope/value_list.h"
#include "song_fixture.h"

namespace tonequill {
namespace {

using testing::SongFixture;
using Values = ValueList;  // the records' own list type

// The message of the ConversionError that `run` throws, or "" when it throws none.
template <typename Run>
std::string conversionErrorOf(Run run) {
    try {
        run();
    } catch (const ConversionError& e) {
        return e.what();
    }
    return "";
}

TEST(AssignEnvelopes, LogsEveryTrackButTheNoiseAndSampleTracks) {
    SongFixture f(6, 1);
    f.add(0, 0, 0, 10);
    f.add(0, 0, 20, 30);
    f.add(3, 0, 0, 10);
    f.add(4, 0, 0, 10);
    f.add(5, 0, 0, 10);
    EXPECT_EQ(f.assign(), "[ENV] track=1 notes=2\n[ENV] track=2 notes=0\n[ENV] track=3 notes=0\n[ENV] track=6 notes=1\n");
}

TEST(AssignEnvelopes, NoSourcesNoRecordAndForeignSourceTracksAreSkipped) {
    SongFixture f(5, 1);
    const int32_t plain = f.add(0, 0, 0, 10);
    const int32_t foreign = f.add(1, 3, 0, 10);
    const int32_t noise = f.add(3, 0, 0, 10);
    const int32_t sample = f.add(4, 0, 0, 10);
    f.bend(0, 0, 16383);  // would bend every note of source track 0
    f.assign();
    EXPECT_EQ(f.envelopeOf(plain), 0);
    EXPECT_EQ(f.envelopeOf(foreign), -1);
    EXPECT_EQ(f.envelopeOf(noise), -1);  // TR4 is left to combination building
    EXPECT_EQ(f.envelopeOf(sample), -1);
    EXPECT_EQ(f.envelopes.records.size(), 1u);
}

TEST(AssignEnvelopes, ControllerTwelveAndChordArpeggios) {
    struct Case {
        const char* what;
        bool chord;
        int32_t cc12;  // -1: none
        int32_t program;
        TokenList enTokens;  // empty: no record
        const char* apText;
    };
    const Case cases[] = {
        {"single note, cc12 70 with an entry", false, 70, 0, {"0", "0"}, "E70"},
        {"single note, cc12 10 with an entry", false, 10, 0, {}, ""},
        {"single note, cc12 70 with an entry of no numbers", false, 71, 0, {"0"}, "E71"},
        {"chord, no cc12, no program entry", true, -1, 0, {"L", "0", "4", "7"}, "1"},
        {"chord, program entry", true, -1, 2, {"7", "4", "0"}, "3"},
        {"chord, cc12 10 replaces the program entry", true, 10, 2, {"L", "7", "4", "0", "0", "4", "7"}, "E10"},
        {"chord, cc12 70", true, 70, 2, {"0", "0", "4", "4", "7", "7"}, "E70"},
    };
    for (const Case& c : cases) {
        SongFixture f;
        f.tables.apCcMap[70] = {"U2"};
        f.tables.apCcMap[71] = {"x"};
        f.tables.apCcMap[10] = {"L", "D1", "U1"};
        f.tables.apPcMap[3] = {"D"};
        if (c.cc12 >= 0) f.cc12(0, 0, c.cc12);
        const int32_t n = c.chord ? f.addChord(0, 0, 5, 15, {0, 4, 7}, c.program) : f.add(0, 0, 5, 15, 60, 100, c.program);
        f.assign();
        if (c.enTokens.empty()) {
            EXPECT_EQ(f.envelopeOf(n), -1) << c.what;
            continue;
        }
        ASSERT_EQ(f.envelopeOf(n), 0) << c.what;
        const EnvelopeRecord& r = f.recordOf(n);
        EXPECT_TRUE(r.hasEn && r.enVerbatim && r.hasAp && !r.hasEm) << c.what;
        EXPECT_EQ(r.enTokens.spelled(), c.enTokens) << c.what;
        EXPECT_EQ(r.apText, c.apText) << c.what;
    }
}

TEST(AssignEnvelopes, VibratoAloneSharesATokenRecordByTheAtLeastMatch) {
    SongFixture f(1, 2);
    f.tables.emoMap[32] = {"0", "L", "2", "-2"};
    f.tables.emoMap[64] = {"0", "L", "2", "-2"};
    f.modulation(0, 0, 40);
    f.modulation(1, 0, 20);
    const int32_t first = f.add(0, 0, 0, 10);
    const int32_t second = f.add(0, 1, 20, 30);
    f.assign();
    EXPECT_EQ(f.envelopeOf(first), 0);
    EXPECT_EQ(f.envelopeOf(second), 0);
    const EnvelopeRecord& r = f.recordOf(first);
    EXPECT_TRUE(r.hasEm && r.emVerbatim && r.hasEmo && !r.hasEn);
    EXPECT_EQ(r.emoName, "64");  // the first note's name stays
    EXPECT_EQ(r.emTokens, (TokenList{"0", "L", "2", "-2"}));
}

TEST(AssignEnvelopes, VibratoAndArpeggioSumPerFrameWithoutBendLabels) {
    SongFixture f;
    f.tables.emoMap[10] = {"5"};
    f.modulation(0, 0, 10);
    const int32_t n = f.addChord(0, 0, 0, 4, {0, 4, 7});
    f.assign();
    const EnvelopeRecord& r = f.recordOf(n);
    EXPECT_FALSE(r.emVerbatim || r.enVerbatim);
    EXPECT_EQ(r.emValues, (Values{5, 5, 5, 5}));
    EXPECT_EQ(r.enValues, (Values{0, 4, 7, 0}));
    EXPECT_TRUE(r.hasEmo && r.hasAp);
    EXPECT_FALSE(r.plusPb || r.apWithEm);
    EXPECT_EQ(r.emoName, "10");
    EXPECT_EQ(r.apText, "1");
}

TEST(AssignEnvelopes, ALaterNoteRelabelsASharedRecordOnlyForItsOwnSources) {
    SongFixture f(1, 2);
    // Source 0: arpeggio of +1 semitone and a flat vibrato; source 1: a bend of
    // +16 sixteenths and the same vibrato under another key. Both sum to 16.
    f.tables.apCcMap[70] = {"1"};
    f.tables.emoMap[32] = {"0"};
    f.tables.emoMap[64] = {"0"};
    f.cc12(0, 0, 70);
    f.modulation(0, 0, 10);
    f.modulation(1, 0, 40);
    f.bend(1, 0, 8192 + 4096);
    const int32_t first = f.add(0, 0, 0, 4);
    const int32_t second = f.add(0, 1, 10, 14);
    f.assign();
    ASSERT_EQ(f.envelopeOf(first), 0);
    ASSERT_EQ(f.envelopeOf(second), 0);
    const EnvelopeRecord& r = f.recordOf(first);
    EXPECT_EQ(r.emValues, (Values{16, 16, 16, 16}));
    EXPECT_TRUE(r.hasEmo);
    EXPECT_EQ(r.emoName, "64");  // overwritten by the second note
    EXPECT_TRUE(r.plusPb);
    EXPECT_TRUE(r.hasAp);        // kept from the first note
    EXPECT_EQ(r.apText, "E70");
    EXPECT_FALSE(r.apWithEm);
}

TEST(AssignEnvelopes, BendsOfDifferentLengthShareOneRecord) {
    struct Case {
        const char* what;
        int32_t firstEnd;
        int32_t secondEnd;
    };
    const Case cases[] = {{"shorter first: lengthened", 4, 26}, {"longer first: reused", 6, 24}};
    for (const Case& c : cases) {
        SongFixture f;
        f.bend(0, 0, 16383);
        const int32_t first = f.add(0, 0, 0, c.firstEnd);
        const int32_t second = f.add(0, 0, 20, c.secondEnd);
        f.assign();
        EXPECT_EQ(f.envelopeOf(first), 0) << c.what;
        EXPECT_EQ(f.envelopeOf(second), 0) << c.what;
        ASSERT_EQ(f.envelopes.records.size(), 1u) << c.what;
        EXPECT_EQ(f.envelopes.records[0].emValues, Values(6, 32)) << c.what;
    }
}

TEST(AssignEnvelopes, NotesAreTakenInStartThenEndOrderAndEqualNotesInListOrder) {
    // The first note to meet a vibrato makes its record and names it.
    struct Case {
        const char* what;
        int32_t firstEnd;   // the note listed first, on source 0 (key 64)
        int32_t secondEnd;  // the note listed second, on source 1 (key 32)
        const char* name;
    };
    const Case cases[] = {
        {"the shorter note goes first", 6, 3, "32"},
        {"in list order", 6, 9, "64"},
        {"equal notes keep list order", 6, 6, "64"},
    };
    for (const Case& c : cases) {
        SongFixture f(1, 2);
        f.tables.emoMap[32] = {"1"};
        f.tables.emoMap[64] = {"1"};
        f.modulation(0, 0, 40);
        f.modulation(1, 0, 20);
        const int32_t first = f.add(0, 0, 0, c.firstEnd);
        const int32_t second = f.add(0, 1, 0, c.secondEnd);
        f.assign();
        ASSERT_EQ(f.envelopeOf(first), 0) << c.what;
        ASSERT_EQ(f.envelopeOf(second), 0) << c.what;
        EXPECT_EQ(f.envelopes.records[0].emoName, c.name) << c.what;
    }
}

TEST(AssignEnvelopes, BendStateStartsFreshForEachOutputTrack) {
    SongFixture f(2, 1);
    f.bend(0, 50, 16383);
    f.bend(0, 90, 8192);
    const int32_t late = f.add(0, 0, 100, 104);
    const int32_t early = f.add(1, 0, 60, 62);  // on TR2, earlier than TR1's note
    f.assign();
    EXPECT_EQ(f.envelopeOf(late), -1);
    ASSERT_EQ(f.envelopeOf(early), 0);
    EXPECT_EQ(f.recordOf(early).emValues, (Values{32, 32}));
}

TEST(AssignEnvelopes, AHugeNoteStopsTheConversionBeforeSampling) {
    SongFixture f(2, 1);
    f.song.tpqn = 1;
    f.song.initialBpm = 1;  // 3600 frames a tick
    f.add(1, 0, 123, 123 + 10000);  // 36,000,000 frames
    EXPECT_EQ(conversionErrorOf([&] { f.assign(); }),
              "too many envelope frames: the note at tick 123 on TR2 takes the song past 33554432 frames");
}

// A note that fails stops the pass where it is, with the log of the tracks
// reached.
TEST(AssignEnvelopes, AFailingNoteStopsThePassWhereItIs) {
    SongFixture f(2, 1);
    f.song.tpqn = 1;
    f.song.initialBpm = 1;  // 3600 frames a tick
    f.range(0, 0, 2.0);
    for (int32_t i = 0; i < 2000; ++i) {
        f.bend(0, i, 8192 + (i * 37) % 3000);
        f.add(0, 0, i, i + 1);
    }
    f.add(1, 0, 5, 5 + 9000);  // takes the song past the frame limit
    std::ostringstream log;
    EXPECT_EQ(conversionErrorOf([&] { f.assign(log); }),
              "too many envelope frames: the note at tick 5 on TR2 takes the song past 33554432 frames");
    EXPECT_EQ(log.str(), "[ENV] track=1 notes=2000\n[ENV] track=2 notes=1\n");
}

// An En token record holds every token the arpeggio spells, up to as many as
// a song has frames; one more is an error that names the entry. Values for a note
// with a vibrato take only the note's frames, however long the arpeggio.
TEST(AssignEnvelopes, AnArpeggioTokenRecordIsBoundByTheFrameLimit) {
    struct Case {
        TokenList arpeggio;
        bool vibrato;
        int32_t cc12;  // -1: none, so the chord plays program entry 1
        const char* message;
    };
    const Case cases[] = {
        {{"U16777216"}, false, -1, ""},
        {{"U16777216", "0"}, false, -1, "[ApMap] key 1: the arpeggio expands to more than 33554432 values"},
        {{"L", "D2147483647", "U2147483647"}, false, 64,
         "[ApMap] key E64: the arpeggio expands to more than 33554432 values"},
        {{"L", "D2147483647", "U2147483647"}, true, 64, ""},
    };
    for (const Case& c : cases) {
        SongFixture f(2, 1);
        f.tables.apPcMap[1] = c.arpeggio;
        f.tables.apCcMap[64] = c.arpeggio;
        f.tables.apPcMap[2] = {"U3"};
        f.tables.emoMap[1] = {"1", "0"};
        if (c.vibrato) f.modulation(0, 0, 1);
        for (int32_t i = 0; i < 600; ++i) f.addChord(0, 0, i * 2, i * 2 + 2, {0, 7 + i % 3}, 1);
        if (c.cc12 >= 0) f.cc12(0, 1300, c.cc12);
        const int32_t last = f.addChord(1, 0, 1300, 1304, {0, 4});
        const std::string message = conversionErrorOf([&] { f.assign(); });
        EXPECT_EQ(message, c.message) << ::testing::PrintToString(c.arpeggio);
        if (!message.empty()) continue;
        const EnvelopeRecord& r = f.recordOf(last);
        if (c.vibrato) {
            // 4 frames of the top tone, 4, plus the vibrato.
            EXPECT_EQ(r.enValues, (Values{4, 4, 4, 4}));
            EXPECT_EQ(r.emValues, (Values{1, 0, 1, 0}));
        } else {
            EXPECT_TRUE(r.enVerbatim);
            EXPECT_EQ(r.enTokens.size, 33554432);
        }
    }
}

TEST(AssignEnvelopes, NotesThatAreNotSampledDoNotCountTowardTheFrameLimit) {
    SongFixture f(5, 1);
    f.song.tpqn = 1;
    f.song.initialBpm = 1;
    f.add(3, 0, 0, 20000);  // TR4: 72,000,000 frames, never sampled here
    f.add(0, 5, 0, 20000);  // foreign source track
    const int32_t n = f.add(0, 0, 0, 1);
    EXPECT_NO_THROW(f.assign());
    EXPECT_EQ(f.envelopeOf(n), -1);
}

TEST(AssignEnvelopes, SumsBeyond32BitsAreConversionErrors) {
    struct Case {
        const char* what;
        TokenList arpeggio;  // under controller 12 at 70; empty: none
        TokenList vibrato;   // under modulation 1
        int32_t bend;        // 8192: none
    };
    const Case cases[] = {
        {"arpeggio times 16", {"2147483647"}, {"0"}, 8192},
        {"negative arpeggio times 16", {"-2147483648"}, {"0"}, 8192},
        {"vibrato plus bend", {}, {"2147483647"}, 8192 + 256},
        {"arpeggio plus bend", {"134217727"}, {}, 16383},
    };
    for (const Case& c : cases) {
        SongFixture f;
        if (!c.arpeggio.empty()) {
            f.tables.apCcMap[70] = c.arpeggio;
            f.cc12(0, 0, 70);
        }
        if (!c.vibrato.empty()) {
            f.tables.emoMap[1] = c.vibrato;
            f.modulation(0, 0, 1);
        }
        f.bend(0, 0, c.bend);
        f.range(0, 0, 1.0);
        f.add(0, 0, 9, 12);
        const std::string message = conversionErrorOf([&] { f.assign(); });
        EXPECT_EQ(message.rfind("envelope value out of range: the note at tick 9 on TR1 reaches ", 0), 0u)
            << c.what << ": " << message;
    }
}

TEST(AssignEnvelopes, AVibratoNumberBeyond32BitsIsTheStandardRangeError) {
    SongFixture f;
    f.tables.emoMap[1] = {"99999999999"};
    f.modulation(0, 0, 1);
    f.bend(0, 0, 16383);
    f.add(0, 0, 0, 4);
    try {
        f.assign();
        FAIL() << "expected std::out_of_range";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "stoi argument out of range");
    }
}

// Bends are sampled before the vibrato and arpeggio tokens are read, and
// those before anything is summed: a note with several faults stops on the
// first in that order, whether it is short or long enough to be summed from
// its bend's runs.
TEST(AssignEnvelopes, ANoteWithSeveralFaultsStopsOnTheFirstStepToFail) {
    struct Case {
        const char* what;
        TokenList vibrato;
        bool deepBendLate;  // a range of 1e10 semitones near the note's end
        const char* message;  // the beginning of the message
    };
    const Case cases[] = {
        {"vibrato number, deep bend", {"99999999999"}, true, "pitch bend out of range: the note at tick 9 on TR1 "},
        {"vibrato number", {"99999999999"}, false, "stoi argument out of range"},
        {"sum, deep bend", {"0", "0", "2147483647"}, true, "pitch bend out of range: the note at tick 9 on TR1 "},
        {"sum", {"0", "0", "2147483647"}, false, "envelope value out of range: the note at tick 9 on TR1 reaches "},
    };
    for (const int32_t frames : {12, 70000}) {
        for (const Case& c : cases) {
            SongFixture f;
            f.tables.emoMap[1] = c.vibrato;
            f.modulation(0, 0, 1);
            f.range(0, 0, 12.0);
            // A value that moves every other frame, so that the bend is read run by run.
            for (int32_t t = 9; t < 9 + frames; t += 2) f.bend(0, t, 8192 + 256 + (t % 7) * 64);
            if (c.deepBendLate) f.range(0, 9 + frames - 3, 1e10);
            f.add(0, 0, 9, 9 + frames);
            std::string message;
            try {
                f.assign();
            } catch (const std::exception& e) {
                message = e.what();
            }
            EXPECT_EQ(message.rfind(c.message, 0), 0u) << c.what << ", " << frames << " frames: " << message;
        }
    }
}

// A sum beyond 32 bits deep into a note names its frame, whether the note
// is summed frame by frame or, being long, a block of frames at a time.
TEST(AssignEnvelopes, ASumBeyond32BitsNamesItsFrame) {
    for (const int32_t frames : {1500, 70000}) {
        SongFixture f;
        f.tables.emoMap[1] = {"0", "D", "999", "2147483647"};
        f.modulation(0, 0, 1);
        f.range(0, 0, 12.0);
        for (int32_t t = 0; t < frames; t += 3) f.bend(0, t, 8192 + 100 * (t % 5));
        f.add(0, 0, 0, frames);
        std::string message;
        try {
            f.assign();
        } catch (const ConversionError& e) {
            message = e.what();
        }
        const std::string frame = " sixteenths of a semitone at frame 1001, beyond 32 bits";
        ASSERT_GE(message.size(), frame.size()) << frames << " frames: " << message;
        EXPECT_EQ(message.substr(message.size() - frame.size()), frame) << frames << " frames: " << message;
    }
}

}  // namespace
}  // namespace tonequill
