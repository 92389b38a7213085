#include "mml/document_writer.h"

#include <gtest/gtest.h>

#include <sstream>

#include "song_fixture.h"

namespace tonequill {
namespace {

using testing::addCombo;
using testing::addNote;
using testing::makeNote;
using testing::makeSong;

// Two quarter notes of one track, 480 ticks per quarter at 120 BPM, with an
// empty mapping file, as preparation leaves them.
struct DemoSong {
    MappingTables tables;
    PreparedSong song = makeSong(1, 48, 480);
    MidiFile file;

    DemoSong() {
        song.title = "Demo";
        addNote(song, 0, makeNote(60, 0, 480));
        addNote(song, 0, makeNote(62, 960, 1440));
        addCombo(song, 1, 15, 1);
        file.ticksPerQuarter = 480;
        file.tempoEvents = {{0, 500000.0}};
        file.title = "Demo";
    }
};

TEST(WriteMmlDocument, WritesTheWholeDemoDocument) {
    DemoSong demo;
    std::ostringstream out;
    std::ostringstream log;
    writeMmlDocument(out, demo.tables, demo.song, demo.file, log);
    EXPECT_EQ(out.str(),
              "#Title\t\t\"Demo\"\n"
              "#Code\t\t\"nsd_all2.bin\"\n"
              "#BGM\t\t1\n"
              "#SE\t\t\t0\n"
              "#timebase\t48\n"
              "#External\t%0\n"
              "\n"
              "#Bank\n"
              "\n"
              "DPCM{\n"
              "}\n"
              "\n"
              "#OffsetEv 100000\n"
              "\n"
              "E(100000){15 R 0}\t// PC  1\tVel  15\n"
              "\n"
              "#OffsetEm 200000\n"
              "\n"
              "\n"
              "#OffsetEn 300000\n"
              "\n"
              "\n"
              "#OffsetE@ 400000\n"
              "E(400001){0}\t// PC 1\n"
              "\n"
              "BGM(0){\n"
              "t120\n"
              "\n"
              "TR1\n"
              "E@1Ev0Em*En*o4c4r4d4\n"
              "\n"
              "TR29\n"
              "t120\n"
              "\n"
              "}\n");
    EXPECT_EQ(log.str(),
              "[WRITE] header\n"
              "[WRITE] definitions\n"
              " combos=1\n"
              " env=0\n"
              "[WRITE] TR1\n"
              "[TR1] start\n"
              "[TR1] notes=2\n"
              "[TR29] build start\n"
              "[TR29] tempo change tick=0 -> scaled=0\n"
              "[TR29] tempo=120\n"
              "[TR29] build end\n");
}

TEST(WriteMmlDocument, WritesOnlyTheOutputTracksThenTR29) {
    DemoSong demo;
    demo.song = makeSong(3, 48, 480);
    std::ostringstream out;
    std::ostringstream log;
    writeMmlDocument(out, demo.tables, demo.song, demo.file, log);
    const std::string text = out.str();
    EXPECT_NE(text.find("BGM(0){\nt120\n\nTR1\n\n\nTR2\n\n\nTR3\n\n\nTR29\nt120\n\n}\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("TR4"), std::string::npos);
}

}  // namespace
}  // namespace tonequill
