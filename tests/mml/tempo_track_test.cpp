#include "mml/tempo_track.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "common/conversion_error.h"
#include "song_fixture.h"

namespace tonequill {
namespace {

using testing::makeSong;
using testing::TestSong;

// A song whose tempo list is `tempos`, at timebase 48.
TestSong songWithTempos(std::vector<TempoEvent> tempos, int32_t tpqn = 480) {
    TestSong song = makeSong(1, 48, tpqn);
    song.tempoEvents = std::move(tempos);
    return song;
}

TEST(TempoTrack, WritesEveryTempoWithUnbrokenRests) {
    struct Case {
        const char* what;
        std::vector<TempoEvent> tempos;
        const char* text;
    };
    const Case cases[] = {
        {"the default tempo alone", {{0, 500000.0}}, "TR29\nt120\n\n"},
        {"two entries at one place", {{0, 500000.0}, {960, 600000.0}, {960, 400000.0}}, "TR29\nt120r2t100t150\n\n"},
        {"rests are not cut at bar lines", {{0, 500000.0}, {4800, 250000.0}}, "TR29\nt120r1^1^2t240\n\n"},
        {"tempos round half up", {{0, 960000.0}, {480, 461538.0}}, "TR29\nt63r4t130\n\n"},
        {"a first entry after tick 0 starts with a rest", {{480, 500000.0}}, "TR29\nr4t120\n\n"},
    };
    for (const Case& c : cases) {
        std::ostringstream log;
        EXPECT_EQ(tempoTrackText(songWithTempos(c.tempos), log), c.text) << c.what;
    }
}

TEST(TempoTrack, TempoChangesLandWithTheNotesOfTheirTick) {
    // Measured in real time at the starting tempo, the change at 3840 would
    // sit at 576; on the note grid it sits at 384, where its notes start.
    std::ostringstream log;
    const TestSong song = songWithTempos({{0, 500000.0}, {1920, 1000000.0}, {3840, 500000.0}});
    EXPECT_EQ(tempoTrackText(song, log), "TR29\nt120r1t60r1t120\n\n");
    EXPECT_EQ(log.str(),
              "[TR29] build start\n"
              "[TR29] tempo change tick=0 -> scaled=0\n[TR29] tempo=120\n"
              "[TR29] tempo change tick=1920 -> scaled=192\n[TR29] tempo=60\n"
              "[TR29] tempo change tick=3840 -> scaled=384\n[TR29] tempo=120\n"
              "[TR29] build end\n");
}

TEST(ScaledTicks, PlacesLikeANoteStart) {
    EXPECT_EQ(scaledTicks(0, 0.1), 0);
    EXPECT_EQ(scaledTicks(4, 0.1), 0);
    EXPECT_EQ(scaledTicks(5, 0.1), 1);
    EXPECT_EQ(scaledTicks(1920, 0.1), 192);
    EXPECT_EQ(scaledTicks(7, 0.05), 0);
    EXPECT_EQ(scaledTicks(44739242, 48.0), 2147483616);
}

TEST(ScaledTicks, StopsWhenThePlaceDoesNotFitIn32Bits) {
    try {
        scaledTicks(44739243, 48.0);
        ADD_FAILURE() << "no error";
    } catch (const ConversionError& e) {
        EXPECT_STREQ(e.what(), "TR29: MIDI tick 44739243 gives an MML tick beyond the 32-bit range (tick scale 48)");
    }
    std::ostringstream log;
    const TestSong song = songWithTempos({{0, 500000.0}, {2000000000, 400000.0}}, 1);
    EXPECT_THROW(tempoTrackText(song, log), ConversionError);
}

}  // namespace
}  // namespace tonequill
