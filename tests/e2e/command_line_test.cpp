#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "e2e_support.h"

namespace tonequill::testing {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> smallSong(int format = 1) {
    TrackBuilder conductor;
    conductor.name(0, "Demo").tempo(0, 500000);
    TrackBuilder lead;
    lead.note(0, 480, 0, 60, 127).note(960, 1440, 0, 62, 127);
    return buildMidi({conductor, lead}, 480, format);
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(CommandLine, NoArgumentPrintsBannerAndUsage) {
    TempDir dir;
    auto r = runBinary({}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "\nTonequill Ver.2026/5/20   tonequill-dev\nusage\ntonequill input.mid\n");
    EXPECT_EQ(r.log, "");
}

TEST(CommandLine, RefusesFormatsOtherThanOne) {
    for (int format : {0, 2}) {
        TempDir dir;
        writeBytes(dir.file("song.mid"), smallSong(format));
        auto r = runBinary({"song.mid"}, dir.path());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "error only supported MIDI is Format 1.\n");
        EXPECT_TRUE(contains(r.log, "[MIDI] format=" + std::to_string(format) + "\n"));
        EXPECT_FALSE(contains(r.log, "[MIDI] reading..."));
        EXPECT_FALSE(fs::exists(dir.file("song.mml")));
    }
}

TEST(CommandLine, MissingOrGarbageInputIsAReadError) {
    TempDir dir;
    writeText(dir.file("garbage.mid"), "this is not a MIDI file at all");
    fs::create_directory(dir.file("folder.mid"));
    for (const char* input : {"missing.mid", "garbage.mid", "folder.mid"}) {
        auto r = runBinary({input}, dir.path());
        EXPECT_EQ(r.status, 1) << input;
        EXPECT_EQ(r.out, "read error\n") << input;
        EXPECT_TRUE(contains(r.log, "[MIDI] format=-1\n[MIDI] reading...\n")) << r.log;
    }
    EXPECT_FALSE(fs::exists(dir.file("missing.mml")));
    EXPECT_FALSE(fs::exists(dir.file("garbage.mml")));
}

TEST(CommandLine, SuccessfulRunFramesTheConversion) {
    TempDir dir;
    writeBytes(dir.file("song.mid"), smallSong());
    auto r = runBinary({"song.mid", "ignored-second-argument"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Convert done\n");
    auto lines = linesOf(r.log);
    ASSERT_GE(lines.size(), 9u);
    EXPECT_EQ(lines[0], "[TVE] path=tve.txt");
    EXPECT_EQ(lines[1], "[TVE] loading: tve.txt");
    EXPECT_TRUE(contains(r.log, "[MIDI] format=1\n[MIDI] reading...\n[MIDI] read OK\n[PREP] start\n"));
    EXPECT_TRUE(contains(r.log, "[PREP] done\n[WRITE] start\n"));
    EXPECT_EQ(lines.back(), "[WRITE] end");
    EXPECT_TRUE(fs::exists(dir.file("song.mml")));
    EXPECT_FALSE(fs::exists(dir.file("ignored-second-argument")));
}

TEST(CommandLine, MappingFileBesideTheInputElseInTheWorkingDirectory) {
    TempDir dir;
    fs::create_directories(dir.path() / "music");
    writeBytes(dir.file("music/song.mid"), smallSong());
    auto without = runBinary({"music/song.mid"}, dir.path());
    EXPECT_TRUE(contains(without.log, "[TVE] path=tve.txt\n")) << without.log;
    writeText(dir.file("music/tve.txt"), "");
    auto beside = runBinary({"music/song.mid"}, dir.path());
    EXPECT_TRUE(contains(beside.log, "[TVE] path=music/tve.txt\n")) << beside.log;
    EXPECT_TRUE(fs::exists(dir.file("music/song.mml")));
}

TEST(CommandLine, OutputPathReplacesTheExtensionOfTheFileNameOnly) {
    struct Case {
        const char* input;
        const char* output;
    };
    // A dot in a folder's name never starts the extension: the document
    // always lands beside the input.
    for (const Case& c : {Case{"song", "song.mml"}, Case{"a.b.mid", "a.b.mml"},
                          Case{"old.songs/tune", "old.songs/tune.mml"}, Case{"./song", "song.mml"},
                          Case{"old.songs/b.c.mid", "old.songs/b.c.mml"}}) {
        TempDir dir;
        fs::create_directories(dir.path() / "old.songs");
        writeBytes(dir.file(c.input), smallSong());
        auto r = runBinary({c.input}, dir.path());
        EXPECT_EQ(r.status, 0) << c.input << r.out;
        EXPECT_TRUE(fs::exists(dir.file(c.output))) << c.input;
        EXPECT_FALSE(fs::exists(dir.file("old.mml"))) << c.input;
        EXPECT_FALSE(fs::exists(dir.file(".mml"))) << c.input;
    }
}

TEST(CommandLine, UnwritableOutputIsAnErrorAndKeepsTheExistingDocument) {
    if (::geteuid() == 0) {
        // root writes anywhere; a directory in the way of the output stands in for a read-only place
        TempDir dir;
        writeBytes(dir.file("song.mid"), smallSong());
        fs::create_directory(dir.file("song.mml"));
        auto r = runBinary({"song.mid"}, dir.path());
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(contains(r.out, "error: ")) << r.out;
        EXPECT_TRUE(contains(r.out, "song.mml")) << r.out;
        EXPECT_FALSE(contains(r.out, "Convert done"));
    }
    TempDir dir;
    fs::create_directories(dir.path() / "ro");
    writeBytes(dir.file("ro/song.mid"), smallSong());
    writeText(dir.file("ro/song.mml"), "precious\r\n");
    fs::permissions(dir.path() / "ro", fs::perms::owner_read | fs::perms::owner_exec);
    auto r = runBinary({"ro/song.mid"}, dir.path());
    fs::permissions(dir.path() / "ro", fs::perms::owner_all);
    if (::geteuid() != 0) {
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(contains(r.out, "error: ")) << r.out;
        EXPECT_TRUE(contains(r.out, "ro/song.mml")) << r.out;
        EXPECT_EQ(readText(dir.file("ro/song.mml")), "precious\r\n");
    }
    for (const auto& entry : fs::directory_iterator(dir.path() / "ro")) {
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
    }
}

TEST(CommandLine, AFailedReadLeavesAnExistingDocumentUntouched) {
    TempDir dir;
    auto bytes = smallSong();
    bytes.resize(bytes.size() - 5);
    writeBytes(dir.file("song.mid"), bytes);
    writeText(dir.file("song.mml"), "precious\r\n");
    auto r = runBinary({"song.mid"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "read error\n");
    EXPECT_EQ(readText(dir.file("song.mml")), "precious\r\n");
}

}  // namespace
}  // namespace tonequill::testing
