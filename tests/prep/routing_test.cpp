#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "common/conversion_error.h"
#include "prep/routing.h"

namespace tonequill {
namespace {

TEST(TrackDirective, NamesRouteOrAreNoDirective) {
    struct Case {
        std::string name;
        int32_t index;
    };
    const std::vector<Case> cases = {
        {"TRX12", 11},     {"Trx12", 11},          {"trx5-bass", 4},   {"trx5_bass", 4},
        {"trx5 bass", 4},  {"trx5bass", -1},       {"trx5.bass", -1},  {"trx007", 6},
        {"trx4", 3},       {"trx", -1},            {"trx1", 0},        {"trx28", 27},
        {"trx0", -1},      {"trx29", -1},          {"trxA", -1},       {"trx3x", -1},
        {"xtrx3", -1},     {"", -1},               {"tr", -1},         {"trx 3", -1},
        {"trx-3", -1},     {"trx3 -x", 2},         {"trx3\xC3\xA9", -1}, {"trx\xEF\xBC\x93", -1},
        {"trx2147483647", -1}, {"trx000000000000000000012", 11},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseTrackDirective(c.name), c.index) << c.name;
    }
}

TEST(TrackDirective, DigitRunBeyond32BitsIsAnError) {
    for (const char* name : {"trx2147483648", "trx99999999999", "TRX99999999999999999999 lead"}) {
        try {
            parseTrackDirective(name);
            ADD_FAILURE() << name << " did not throw";
        } catch (const std::out_of_range& e) {
            EXPECT_STREQ(e.what(), "stoi argument out of range") << name;
        }
    }
}

MidiFile fileWithNames(std::vector<std::string> names) {
    MidiFile file;
    file.tracks.resize(names.size());
    file.trackNames = std::move(names);
    return file;
}

TEST(TrackRouting, DirectiveAndHomeTrackShareAnOutputTrack) {
    // Conductor, then source 0 "trx2" and source 1 unnamed: both on TR2.
    const TrackRouting r = routeTracks(fileWithNames({"conductor", "trx2", ""}), 1, 2);
    EXPECT_EQ(r.routing, (std::vector<int32_t>{1, 1}));
    EXPECT_EQ(r.directive, (std::vector<bool>{true, false}));
    EXPECT_EQ(r.outputTrackCount, 2);
    EXPECT_EQ(homeTrackFlags(r), (std::vector<bool>{false, true}));
}

TEST(TrackRouting, DirectiveToItsOwnPlaceIsNotAHomeTrack) {
    const TrackRouting r = routeTracks(fileWithNames({"a", "b", "trx3"}), 0, 3);
    EXPECT_EQ(r.routing, (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(homeTrackFlags(r), (std::vector<bool>{true, true, false}));
}

TEST(TrackRouting, OutputTrackCountReachesTheFarthestDirective) {
    struct Case {
        std::vector<std::string> names;
        int32_t offset;
        int32_t sources;
        int32_t outputs;
    };
    const std::vector<Case> cases = {
        {{"a", "trx20", "c"}, 0, 3, 20},
        {{"trx1", "trx1", "trx1", "trx1"}, 0, 4, 4},  // never below the source count
        {{}, 0, 0, 1},                                 // no source track still gives TR1
        {{"only"}, 0, 1, 1},
        {std::vector<std::string>(28, ""), 0, 28, 28},
        {{"conductor", "trx28"}, 1, 1, 28},
    };
    for (const Case& c : cases) {
        MidiFile file = fileWithNames(c.names);
        EXPECT_EQ(routeTracks(file, c.offset, c.sources).outputTrackCount, c.outputs) << c.sources;
    }
}

TEST(TrackRouting, MissingNameEntryMeansNoDirective) {
    MidiFile file;
    file.tracks.resize(3);
    file.trackNames = {"x", "trx9"};  // fewer names than tracks
    const TrackRouting r = routeTracks(file, 1, 2);
    EXPECT_EQ(r.routing, (std::vector<int32_t>{8, 1}));
    EXPECT_EQ(r.directive, (std::vector<bool>{true, false}));
}

TEST(TrackRouting, MoreThan28SourceTracksFail) {
    MidiFile file = fileWithNames(std::vector<std::string>(29, ""));
    try {
        routeTracks(file, 0, 29);
        ADD_FAILURE() << "29 source tracks were accepted";
    } catch (const ConversionError& e) {
        EXPECT_STREQ(e.what(), "trx destination exceeds TR28");
    }
}

}  // namespace
}  // namespace tonequill
