#include <gtest/gtest.h>

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

TEST(MappingFileRun, MalformedNumberEndsTheRunBeforeTheMidiFileIsOpened) {
    struct Case {
        const char* tve;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"[E@Map]\n1{@0}\n[EvMap]\n1{15,14}\n2{15,x}\n", "invalid stoi argument"},
        {"[EvMap]\n1{15,14}\n[ApMap]\nE64{1}\n2147483648{1}\n", "stoi argument out of range"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        writeBytes(dir.file("song.mid"), song());
        writeText(dir.file("tve.txt"), c.tve);
        auto r = runBinary({"song.mid"}, dir.path());
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_EQ(r.out, std::string("error: ") + c.message + "\n");
        EXPECT_EQ(linesOf(r.log),
                  (std::vector<std::string>{"[TVE] path=tve.txt", "[TVE] loading: tve.txt", "[TVE] OPEN OK"}));
        EXPECT_FALSE(fs::exists(dir.file("song.mml"))) << c.message;
    }
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
