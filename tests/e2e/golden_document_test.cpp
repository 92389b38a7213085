// Whole documents through the real binary, byte for byte with CR LF.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "e2e_support.h"
#include "two_note_document.h"

namespace tonequill::testing {
namespace {

namespace fs = std::filesystem;

std::string crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

TEST(GoldenDocument, TwoNoteSongWithAnEmptyMappingFile) {
    TempDir dir;
    TrackBuilder conductor;
    conductor.name(0, "Demo").tempo(0, 500000);
    TrackBuilder lead;
    lead.note(0, 480, 0, 60, 127).note(960, 1440, 0, 62, 127);
    writeBytes(dir.file("song.mid"), buildMidi({conductor, lead}, 480));
    writeText(dir.file("tve.txt"), "");

    const auto r = runBinary({"song.mid"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.out << r.log;
    EXPECT_EQ(r.out, "Convert done\n");
    EXPECT_EQ(readText(dir.file("song.mml")), crlf(kTwoNoteDocument));
}

// The demo song: melody with bend and vibrato, bass, chords, drums on TR4,
// samples on TR5 and a tempo change. Its document and log were checked by
// hand against the conversion rules once; any change shows here.
TEST(GoldenDocument, DemoSongMatchesItsReviewedDocumentAndLog) {
    const fs::path source = TONEQUILL_SOURCE_DIR;
    TempDir dir;
    // The committed demo song is what the project's generator writes.
    ASSERT_EQ(std::system((std::string("'") + TONEQUILL_MAKE_DEMO + "' '" + dir.file("demo.mid") + "'").c_str()), 0);
    EXPECT_EQ(readText(dir.file("demo.mid")), readText((source / "examples/demo.mid").string()));
    fs::copy_file(source / "examples/tve.txt", dir.path() / "tve.txt");

    const auto r = runBinary({"demo.mid"}, dir.path());
    ASSERT_EQ(r.status, 0) << r.out << r.log;
    EXPECT_EQ(r.out, "Convert done\n");
    EXPECT_EQ(readText(dir.file("demo.mml")), readText((source / "tests/e2e/golden/demo.mml").string()));
    EXPECT_EQ(r.log, readText((source / "tests/e2e/golden/demo.log").string()));
}

}  // namespace
}  // namespace tonequill::testing
