#include "mml/header.h"

#include <gtest/gtest.h>

#include <sstream>

#include "song_fixture.h"

namespace tonequill {
namespace {

using testing::addNote;
using testing::makeNote;
using testing::makeSong;
using testing::TestSong;

std::string headerOf(const PreparedSong& song) {
    std::ostringstream out;
    writeHeader(out, song);
    return out.str();
}

TEST(WriteHeader, WritesTheFixedLinesTimebaseChipsAndSamples) {
    TestSong song = makeSong(5, 24, 480);
    song.title = "Song";
    addNote(song, 4, makeNote(40, 0, 10));
    addNote(song, 4, makeNote(36, 10, 20));
    song.dpcmNotes = {36, 40};
    EXPECT_EQ(headerOf(song),
              "#Title\t\t\"Song\"\n"
              "#Code\t\t\"nsd_all2.bin\"\n"
              "#BGM\t\t1\n"
              "#SE\t\t\t0\n"
              "#timebase\t24\n"
              "#External\t%0\n\n"
              "#Bank\n\n"
              "DPCM{\n"
              "\tn36,\t\"dmc/36.dmc\",15,0,64\n"
              "\tn40,\t\"dmc/40.dmc\",15,0,64\n"
              "}\n\n");
}

TEST(WriteHeader, EscapesBackslashAndQuoteAndBlanksLineBreaksInTheTitle) {
    struct Case {
        std::string title;
        std::string line;
    };
    const Case cases[] = {
        {"", "#Title\t\t\"\"\n"},
        {"say \"hi\"", "#Title\t\t\"say \\\"hi\\\"\"\n"},
        {"a\\b", "#Title\t\t\"a\\\\b\"\n"},
        {"\xE6\x9B\xB2\t\x01\x7F\xFF", "#Title\t\t\"\xE6\x9B\xB2\t\x01\x7F\xFF\"\n"},
        // a line break would split the header line
        {"two\r\nlines\nhere\r", "#Title\t\t\"two  lines here \"\n"},
    };
    for (const Case& c : cases) {
        TestSong song = makeSong(1);
        song.title = c.title;
        const std::string header = headerOf(song);
        EXPECT_EQ(header.substr(0, header.find('\n') + 1), c.line);
    }
}

TEST(ExternalLine, FlagsTheGroupsOfTracksWithNotes) {
    struct Case {
        std::vector<int32_t> tracks;  // track numbers that get a note
        const char* line;
    };
    const Case cases[] = {
        {{}, "#External\t%0"},
        {{1, 2, 3, 4, 5}, "#External\t%0"},
        {{8, 20}, "#External\t%10001\t// VRC6 n16x"},
        {{6, 9}, "#External\t%101\t// VRC6 FDS"},
        {{26}, "#External\t%100000\t// Sunsoft 5B"},
        {{28, 18, 16, 15, 7, 6}, "#External\t%111111\t// VRC6 VRC7 FDS MMC5 n16x Sunsoft 5B"},
    };
    for (const Case& c : cases) {
        TestSong song = makeSong(28);
        for (int32_t n : c.tracks) addNote(song, n - 1, makeNote(60, 0, 48));
        EXPECT_EQ(externalLine(song), c.line);
    }
}

TEST(ExternalLine, IgnoresTracksBeyondTheOutputCount) {
    TestSong song = makeSong(28);
    addNote(song, 9, makeNote(60, 0, 48));
    song.outputTrackCount = 9;  // TR10 has notes but is not written
    EXPECT_EQ(externalLine(song), "#External\t%0");
}

}  // namespace
}  // namespace tonequill
