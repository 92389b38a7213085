#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e_support.h"
#include "fixture_songs.h"

namespace tonequill::testing {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> linesBetween(const std::vector<std::string>& lines, const std::string& first,
                                      const std::string& last) {
    auto from = std::find(lines.begin(), lines.end(), first);
    auto to = std::find(from, lines.end(), last);
    if (from == lines.end() || to == lines.end()) return {};
    return {from, to + 1};
}

void expectSameLines(const std::vector<std::string>& actual, const std::vector<std::string>& expected) {
    for (size_t i = 0; i < std::max(actual.size(), expected.size()); ++i) {
        EXPECT_EQ(i < actual.size() ? actual[i] : "<missing>", i < expected.size() ? expected[i] : "<none>")
            << "line " << i + 1;
    }
}

TEST(PreparationLog, RoutedSongLogsEveryStepInOrder) {
    TempDir dir;
    writeBytes(dir.file("song.mid"), routedSong());
    const auto r = runBinary({"song.mid"}, dir.path());
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "Convert done\n");
    const auto lines = linesOf(r.log);

    // No tve.txt anywhere: the run goes on with empty tables.
    expectSameLines(linesBetween(lines, "[TVE] path=tve.txt", "[MIDI] read OK"),
                    {"[TVE] path=tve.txt", "[TVE] loading: tve.txt", "[TVE] FAILED TO OPEN", "[MIDI] format=1",
                     "[MIDI] reading...", "[MIDI] read OK"});
    EXPECT_EQ(lines.empty() ? "" : lines.front(), "[TVE] path=tve.txt");

    // Tempo 468750 us is 128 BPM: timebase 24. TR2 holds the lead's first
    // half, the home track's chord (60, 64 at +20, 67) and the lead's tail;
    // TR4 keeps the later of two close hits; the conductor's program counts.
    // Combinations: TR2 (6,12), (11,12), (6,11); TR4 (1038,8), (1036,15).
    expectSameLines(linesBetween(lines, "[PREP] start", "[PREP] done"),
                    {
                        "[PREP] start",
                        "[TEMPO] events=2",
                        "[TEMPO] tick=0 us/qn=468750",
                        "[TEMPO] tick=1920 us/qn=1e+06",
                        "[PREP] tpqn=480",
                        "[PREP] rawTrack=5 offset=1 srcTrack=4 outTrack=5",
                        "[PREP] programs=3 bends=1 ranges=2",
                        "[PREP] notes total(raw)=9",
                        "[TRACK 1] notes=0",
                        "[TRACK 2] notes=3",
                        "[TRACK 3] notes=0",
                        "[TRACK 4] notes=2",
                        "[TRACK 5] notes=1",
                        "[ENV] assign start",
                        "[ENV] track=1 notes=0",
                        "[ENV] track=2 notes=3",
                        "[ENV] track=3 notes=0",
                        "[ENV] assign done",
                        "[COMBO] build start",
                        "[COMBO] total=5",
                        "[PREP] ===== end =====",
                        "[PREP] done",
                    });
    EXPECT_TRUE(fs::exists(dir.file("song.mml")));
}

// Drums (MIDI channel 10) that track order sends to a pitched track are
// warned about right after the track counts, on tonequill's log and in the
// report; drums on TR4, and tracks a directive sends, are not.
TEST(PreparationLog, DrumsOffTheNoiseTrackAreWarnedAbout) {
    TrackBuilder conductor;
    conductor.name(0, "Kit test").tempo(0, 500000);
    TrackBuilder lead;
    lead.name(0, "Lead").note(0, 480, 0, 72);
    TrackBuilder drums;  // TR2 by track order
    drums.name(0, "Drums").note(0, 120, 9, 36).note(480, 600, 9, 38).note(960, 1080, 9, 42);
    TrackBuilder bass;  // TR3, one stray drum hit among its notes
    bass.note(0, 480, 1, 36).note(480, 960, 9, 49);
    TrackBuilder noise;  // TR4 by track order
    noise.note(0, 120, 9, 36);
    TrackBuilder kit;  // TR5 by its name, as samples
    kit.name(0, "trx5 kit").note(0, 120, 9, 40);
    TempDir dir;
    writeBytes(dir.file("song.mid"), buildMidi({conductor, lead, drums, bass, noise, kit}));
    const auto r = runBinary({"song.mid"}, dir.path());
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "Convert done\n");
    const std::vector<std::string> warnings = {
        "[PREP] warning: track 3 \"Drums\" has 3 notes on MIDI channel 10 but goes to TR2 by track order; put "
        "\"trx4\" in its name to send it to the noise channel",
        "[PREP] warning: track 4 has 1 note on MIDI channel 10 but goes to TR3 by track order; put \"trx4\" in its "
        "name to send it to the noise channel",
    };
    std::vector<std::string> expected = {"[TRACK 5] notes=1"};
    expected.insert(expected.end(), warnings.begin(), warnings.end());
    expected.push_back("[ENV] assign start");
    expectSameLines(linesBetween(linesOf(r.log), "[TRACK 5] notes=1", "[ENV] assign start"), expected);

    const auto report = runProgram(TONEQUILL_REPORT_BINARY, {"song.mid"}, dir.path());
    EXPECT_EQ(report.status, 0) << report.out;
    expectSameLines(linesBetween(linesOf(report.out), "HINTS", ""),
                    {"HINTS", "  " + warnings[0], "  " + warnings[1], ""});
}

void expectConversionError(const std::vector<uint8_t>& song, const std::string& message) {
    TempDir dir;
    writeBytes(dir.file("song.mid"), song);
    const auto r = runBinary({"song.mid"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "error: " + message + "\n");
    EXPECT_EQ(r.log.find("[PREP] rawTrack="), std::string::npos) << r.log;
    EXPECT_EQ(r.log.find("[PREP] done"), std::string::npos) << r.log;
    EXPECT_FALSE(fs::exists(dir.file("song.mml")));
}

TEST(PreparationLog, MoreThan28SourceTracksFail) {
    std::vector<TrackBuilder> tracks(29);
    for (auto& t : tracks) t.note(0, 480, 0, 60);
    expectConversionError(buildMidi(tracks), "trx destination exceeds TR28");
}

// The error stays the number reader's; a hint just before it names the
// track, on tonequill's log and in the report.
TEST(PreparationLog, DirectiveNumberBeyond32BitsFailsWithAHintNamingTheTrack) {
    TrackBuilder conductor;
    conductor.tempo(0, 500000);
    TrackBuilder lead;
    lead.name(0, "Lead").note(0, 480, 0, 72);
    TrackBuilder bass;
    bass.name(0, "trx99999999999 Bass").note(0, 480, 0, 60);
    const std::vector<uint8_t> song = buildMidi({conductor, lead, bass});
    expectConversionError(song, "stoi argument out of range");

    const std::string hint = "[PREP] track 3 \"trx99999999999 Bass\": the number after \"trx\" is too large; trx1 to "
                             "trx28 send a track to TR1 to TR28";
    TempDir dir;
    writeBytes(dir.file("song.mid"), song);
    const auto r = runBinary({"song.mid"}, dir.path());
    const std::vector<std::string> log = linesOf(r.log);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), hint) << r.log;
    const auto report = runProgram(TONEQUILL_REPORT_BINARY, {"song.mid"}, dir.path());
    EXPECT_EQ(report.status, 1);
    EXPECT_NE(report.out.find(hint), std::string::npos) << report.out;
    EXPECT_NE(report.out.find("error: stoi argument out of range"), std::string::npos) << report.out;
}

}  // namespace
}  // namespace tonequill::testing
