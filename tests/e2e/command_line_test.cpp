#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "common/version.h"
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
        // A format-0 file can be split; the hint says how, as a command to copy.
        const std::string hint =
            "hint: song.mid is format 0; \"tonequill-split song.mid\" writes song-f1.mid, which tonequill converts\n";
        EXPECT_EQ(contains(r.log, "[MIDI] format=0\n" + hint), format == 0) << r.log;
        EXPECT_EQ(contains(r.log, "hint:"), format == 0) << r.log;
    }
    TempDir dir;
    writeBytes(dir.file("my song.mid"), smallSong(0));
    writeBytes(dir.file("-x.mid"), smallSong(0));
    auto r = runBinary({"my song.mid", "--", "-x.mid"}, dir.path());
    EXPECT_TRUE(contains(r.log, "hint: my song.mid is format 0; \"tonequill-split 'my song.mid'\" writes my song-f1.mid, "
                                "which tonequill converts\n"))
        << r.log;
    EXPECT_TRUE(contains(r.log, "hint: -x.mid is format 0; \"tonequill-split -- -x.mid\" writes -x-f1.mid, "
                                "which tonequill converts\n"))
        << r.log;
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
    auto r = runBinary({"song.mid"}, dir.path());
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
}

// Each file is converted in turn exactly as it is alone: its own mapping
// file, output, messages and progress lines; one that fails stops nothing
// but makes the status 1.
TEST(CommandLine, SeveralInputsConvertInTurnEachAsIfAlone) {
    TempDir dir;
    fs::create_directories(dir.path() / "music");
    writeBytes(dir.file("first.mid"), smallSong());
    auto broken = smallSong();
    broken.resize(broken.size() - 5);
    writeBytes(dir.file("broken.mid"), broken);
    writeBytes(dir.file("single.mid"), smallSong(0));
    writeBytes(dir.file("music/last.mid"), smallSong());
    writeText(dir.file("music/tve.txt"), "[EvMap]\n1{15,10,5}\n");
    const std::vector<std::string> inputs = {"first.mid", "broken.mid", "single.mid", "music/last.mid"};

    std::string out;
    std::string log;
    for (const std::string& input : inputs) {
        auto alone = runBinary({input}, dir.path());
        EXPECT_EQ(alone.status, input == "broken.mid" || input == "single.mid" ? 1 : 0) << input;
        out += alone.out;
        log += alone.log;
    }
    const std::string first = readText(dir.file("first.mml"));
    const std::string last = readText(dir.file("music/last.mml"));
    ASSERT_NE(first, last);  // the folder's own mapping file is used
    fs::remove(dir.file("first.mml"));
    fs::remove(dir.file("music/last.mml"));

    auto together = runBinary(inputs, dir.path());
    EXPECT_EQ(together.status, 1);
    EXPECT_EQ(together.out, out);
    EXPECT_EQ(together.log, log);
    EXPECT_EQ(readText(dir.file("first.mml")), first);
    EXPECT_EQ(readText(dir.file("music/last.mml")), last);
    EXPECT_FALSE(fs::exists(dir.file("broken.mml")));
    EXPECT_FALSE(fs::exists(dir.file("single.mml")));

    auto allGood = runBinary({"first.mid", "music/last.mid"}, dir.path());
    EXPECT_EQ(allGood.status, 0);
    EXPECT_EQ(allGood.out, "Convert done\nConvert done\n");
}

TEST(CommandLine, HelpAndVersionAnswerAndConvertNothing) {
    TempDir dir;
    writeBytes(dir.file("song.mid"), smallSong());
    for (const char* help : {"--help", "-h"}) {
        auto r = runBinary({"song.mid", help}, dir.path());
        EXPECT_EQ(r.status, 0) << help;
        EXPECT_EQ(r.log, "") << help;
        for (const char* part : {"usage: tonequill [options] input.mid...\n", "-h, --help", "--version", "  --  ",
                                 "tonequill-split song.mid", "Exit status:\n  0  ", "\n  1  "}) {
            EXPECT_TRUE(contains(r.out, part)) << help << ": " << part;
        }
    }
    auto version = runBinary({"--version"}, dir.path());
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("tonequill ") + kVersion +
                               "\nThe banner's \"Ver.2026/5/20\" is the date of the conversion rules this version "
                               "follows.\n");
    EXPECT_EQ(version.log, "");
    EXPECT_FALSE(fs::exists(dir.file("song.mml")));
}

TEST(CommandLine, AnUnknownOptionIsAnErrorWithTheUsage) {
    TempDir dir;
    writeBytes(dir.file("song.mid"), smallSong());
    writeBytes(dir.file("-x.mid"), smallSong());
    struct Case {
        const char* option;
        const char* message;
    };
    for (const Case& c : {Case{"--frobnicate", "tonequill: unknown option \"--frobnicate\"\n"},
                          Case{"-x.mid", "tonequill: unknown option \"-x.mid\" (for a file of that name: -- -x.mid)\n"},
                          Case{"-", "tonequill: \"-\" (standard input) cannot be read: name the file (\"./-\" for a "
                                    "file called \"-\")\n"}}) {
        auto r = runBinary({"song.mid", c.option}, dir.path());
        EXPECT_EQ(r.status, 1) << c.option;
        EXPECT_EQ(r.out, "") << c.option;
        EXPECT_EQ(r.log.rfind(c.message, 0), 0u) << r.log;
        EXPECT_TRUE(contains(r.log, "\nusage: tonequill [options] input.mid...\n")) << c.option;
        EXPECT_FALSE(fs::exists(dir.file("song.mml"))) << c.option;
    }
}

TEST(CommandLine, DoubleDashEndsTheOptions) {
    TempDir dir;
    writeBytes(dir.file("-x.mid"), smallSong());
    writeBytes(dir.file("--help"), smallSong());
    auto r = runBinary({"--", "-x.mid", "--help"}, dir.path());
    EXPECT_EQ(r.status, 0) << r.log;
    EXPECT_EQ(r.out, "Convert done\nConvert done\n");
    EXPECT_TRUE(fs::exists(dir.file("-x.mml")));
    EXPECT_TRUE(fs::exists(dir.file("--help.mml")));
    // With nothing after it, the banner shows as without arguments.
    auto bare = runBinary({"--"}, dir.path());
    EXPECT_EQ(bare.status, 0);
    EXPECT_EQ(bare.out, "\nTonequill Ver.2026/5/20   tonequill-dev\nusage\ntonequill input.mid\n");
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
