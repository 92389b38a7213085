#include "mml/document_writer.h"

#include <gtest/gtest.h>

#include <sstream>

#include "mml/track_writer.h"
#include "song_fixture.h"
#include "two_note_document.h"

namespace tonequill {
namespace {

using testing::addCombo;
using testing::addNote;
using testing::makeNote;
using testing::makeSong;
using testing::TestSong;

// Two quarter notes of one track, 480 ticks per quarter at 120 BPM, with an
// empty mapping file, as preparation leaves them.
struct DemoSong {
    MappingTables tables;
    TestSong song = makeSong(1, 48, 480);

    DemoSong() {
        song.title = "Demo";
        addNote(song, 0, makeNote(60, 0, 480));
        addNote(song, 0, makeNote(62, 960, 1440));
        addCombo(song, 1, 15, 1);
    }
};

TEST(WriteMmlDocument, WritesTheWholeDemoDocument) {
    DemoSong demo;
    std::ostringstream out;
    std::ostringstream log;
    writeMmlDocument(out, demo.tables, demo.song, demo.song.envelopes, demo.song.combos, log);
    EXPECT_EQ(out.str(), testing::kTwoNoteDocument);
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
    writeMmlDocument(out, demo.tables, demo.song, demo.song.envelopes, demo.song.combos, log);
    const std::string text = out.str();
    EXPECT_NE(text.find("BGM(0){\nt120\n\nTR1\n\n\nTR2\n\n\nTR3\n\n\nTR29\nt120\n\n}\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("TR4"), std::string::npos);
}

// A track far longer than the writer's block goes out in pieces; the
// document still holds exactly the track's text, with its envelope switches,
// rests, ties and octave steps.
TEST(WriteMmlDocument, ATrackLongerThanABlockIsWrittenWhole) {
    DemoSong demo;
    demo.song = makeSong(1, 48, 480);
    EnvelopeRecord withEm;
    withEm.hasEm = true;
    EnvelopeRecord withEn;
    withEn.hasEn = true;
    demo.song.envelopes.records = {withEm, withEn};
    for (int32_t i = 0; i < 20000; ++i) {
        const int32_t start = i * 700 + (i % 7) * 13;
        addNote(demo.song, 0, makeNote(40 + i % 40, start, start + 200 + (i % 11) * 300, 40 + i % 88, i % 3, i % 3 - 1));
    }
    for (int32_t program = 0; program < 3; ++program) {
        for (int32_t level = 0; level < 16; level += 2) addCombo(demo.song, program + 1, level, 1);
    }
    std::ostringstream out;
    std::ostringstream log;
    writeMmlDocument(out, demo.tables, demo.song, demo.song.envelopes, demo.song.combos, log);
    std::ostringstream trackLog;
    const std::string track = trackText(demo.song, demo.song.envelopes, demo.song.combos, 0, trackLog);
    ASSERT_GT(track.size(), 4 * TextSink::kBlock);
    const std::string text = out.str();
    const std::size_t at = text.find("BGM(0){\nt120\n\n");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(text.substr(at + 14, track.size()), track);
    EXPECT_EQ(text.substr(at + 14 + track.size()), "TR29\nt120\n\n}\n");
}

}  // namespace
}  // namespace tonequill
