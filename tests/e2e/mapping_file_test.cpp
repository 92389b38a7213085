#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace tonequill::testing {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> song() {
    TrackBuilder conductor;
    conductor.name(0, "Mapped").tempo(0, 500000);
    TrackBuilder lead;
    lead.program(0, 0, 0).controller(0, 0, 1, 40).note(0, 480, 0, 60, 127).note(480, 960, 0, 64, 90);
    return buildMidi({conductor, lead}, 480);
}

std::string withCrLf(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

// The log names the file, the line and the section of the number, just
// before the run stops with the conversion's own message.
TEST(MappingFileRun, MalformedNumberEndsTheRunBeforeTheMidiFileIsOpened) {
    struct Case {
        const char* input;
        const char* tve;
        const char* message;
        const char* place;
    };
    const std::vector<Case> cases = {
        {"song.mid", "[E@Map]\n1{@0}\n[EvMap]\n1{15,14}\n2{15,x}\n", "invalid stoi argument",
         "[TVE] tve.txt:5 [EvMap]: \"x\" is not a number"},
        {"song.mid", "[EvMap]\n1{15,14}\n[ApMap]\nE64{1}\n2147483648{1}\n", "stoi argument out of range",
         "[TVE] tve.txt:5 [ApMap]: \"2147483648\" is out of range"},
        {"music/song.mid", "# volume\r\n[EvMap]\r\n\r\n7{15,L,99999999999}\r\n", "stoi argument out of range",
         "[TVE] music/tve.txt:4 [EvMap]: \"99999999999\" is out of range"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const fs::path folder = fs::path(c.input).parent_path();
        const std::string mapping = (folder / "tve.txt").string();
        fs::create_directories(dir.path() / folder);
        writeBytes(dir.file(c.input), song());
        writeText(dir.file(mapping), c.tve);
        auto r = runBinary({c.input}, dir.path());
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_EQ(r.out, std::string("error: ") + c.message + "\n");
        EXPECT_EQ(linesOf(r.log), (std::vector<std::string>{"[TVE] path=" + mapping, "[TVE] loading: " + mapping,
                                                            "[TVE] OPEN OK", c.place}));
        EXPECT_FALSE(fs::exists(dir.file("song.mml"))) << c.message;
    }
}

// A section name the loader does not know and a "{" never closed are
// warned about where the loader reads the lines; they change nothing else.
TEST(MappingFileRun, WarnsOfUnknownSectionsAndUnclosedBraces) {
    const std::string written = "[EVMAP]\n1{15,14,12}\n[ApMap]\n1{L,U2}\n[E@map]\n2{1}\n[EnMap]\n1036{4,2\n";
    TempDir dir;
    writeBytes(dir.file("song.mid"), song());
    writeText(dir.file("tve.txt"), written);
    const auto r = runBinary({"song.mid"}, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Convert done\n");
    const auto lines = linesOf(r.log);
    ASSERT_GE(lines.size(), 7u);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 2, lines.begin() + 7),
              (std::vector<std::string>{
                  "[TVE] OPEN OK",
                  "[TVE] warning: tve.txt:1: unknown section \"[EVMAP]\" (did you mean \"[EvMap]\"?); the line is "
                  "skipped, and so are the lines after it up to the next known section",
                  "[TVE] warning: tve.txt:5: unknown section \"[E@map]\" (did you mean \"[E@Map]\"?); the line is "
                  "skipped, and the lines after it still go to [ApMap]",
                  "[TVE] warning: tve.txt:8: \"{\" without \"}\"; the line is skipped",
                  "[TVE] DONE",
              }));
    // 2{1} went to [ApMap]; [EvMap] and [EnMap] stayed empty.
    EXPECT_TRUE(std::find(lines.begin(), lines.end(), "[TVE] ApMap(PC)=2") != lines.end()) << r.log;
    EXPECT_TRUE(std::find(lines.begin(), lines.end(), "[TVE] EvMap=0") != lines.end()) << r.log;
    const std::string document = readText(dir.file("song.mml"));

    // Without the warned lines the log is the same but for the warnings.
    TempDir plain;
    writeBytes(plain.file("song.mid"), song());
    writeText(plain.file("tve.txt"), "[ApMap]\n1{L,U2}\n2{1}\n");
    const auto p = runBinary({"song.mid"}, plain.path());
    std::vector<std::string> unwarned;
    for (const std::string& line : lines) {
        if (line.rfind("[TVE] warning: ", 0) != 0) unwarned.push_back(line);
    }
    EXPECT_EQ(unwarned, linesOf(p.log));
    EXPECT_EQ(readText(plain.file("song.mml")), document);
}

// Windows line ends and a byte-order mark, as a Windows editor may save the
// file, change neither the tables nor the document.
TEST(MappingFileRun, CrLfAndByteOrderMarkConvertAlike) {
    const std::string tve =
        "[E@Map]\n1{@0}\n# voice 1 decays slowly\n[EvMap]\n1{15,14,12,10,L,8,R,4}\n[EmoMap]\n64{d,2,1}\n"
        "[ApMap]\nE64{ 1, 2 }\n1{0,4,7}\n[EnMap]\n1{0,1}";
    std::vector<RunResult> runs;
    std::vector<std::string> documents;
    for (const std::string& text : {tve, withCrLf(tve), "\xEF\xBB\xBF" + withCrLf(tve)}) {
        TempDir dir;
        writeBytes(dir.file("song.mid"), song());
        writeText(dir.file("tve.txt"), text);
        runs.push_back(runBinary({"song.mid"}, dir.path()));
        documents.push_back(readText(dir.file("song.mml")));
    }
    const auto lines = linesOf(runs[0].log);
    ASSERT_GE(lines.size(), 11u);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.begin() + 11),
              (std::vector<std::string>{"[TVE] loading: tve.txt", "[TVE] OPEN OK", "[TVE] DONE", "[TVE] E@Map=1",
                                        "[TVE] EvMap=1", "[TVE] EnMap=1", "[TVE] EmoMap=1", "[TVE] ApMap(PC)=1",
                                        "[TVE] ApMap(CC)=1", "[MIDI] format=1"}));
    for (size_t i = 0; i < runs.size(); ++i) {
        EXPECT_EQ(runs[i].status, 0) << i;
        EXPECT_EQ(runs[i].out, "Convert done\n") << i;
        EXPECT_EQ(runs[i].log, runs[0].log) << i;
        EXPECT_EQ(documents[i], documents[0]) << i;
    }
    // The tables reach the document: without them it reads otherwise.
    TempDir plain;
    writeBytes(plain.file("song.mid"), song());
    writeText(plain.file("tve.txt"), "");
    EXPECT_EQ(runBinary({"song.mid"}, plain.path()).status, 0);
    EXPECT_NE(readText(plain.file("song.mml")), documents[0]);
}

}  // namespace
}  // namespace tonequill::testing
