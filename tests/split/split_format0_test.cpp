#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "midi/midi_reader.h"
#include "prep/routing.h"
#include "split/channel_tracks.h"
#include "split/split_format0.h"

namespace tonequill {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes chunk(const char* type, const Bytes& body) {
    const auto n = static_cast<uint32_t>(body.size());
    return cat({text(type), {static_cast<uint8_t>(n >> 24), static_cast<uint8_t>(n >> 16),
                             static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)}, body});
}

Bytes header(uint16_t format, uint16_t tracks, uint16_t division = 480) {
    return chunk("MThd", {static_cast<uint8_t>(format >> 8), static_cast<uint8_t>(format),
                          static_cast<uint8_t>(tracks >> 8), static_cast<uint8_t>(tracks),
                          static_cast<uint8_t>(division >> 8), static_cast<uint8_t>(division)});
}

// A track-name event at tick 0.
Bytes nameEvent(const std::string& name) {
    return cat({{0x00, 0xFF, 0x03, static_cast<uint8_t>(name.size())}, text(name)});
}

const Bytes kEndOfTrack{0xFF, 0x2F, 0x00};

// Every kind of event, channels 1, 2 and 10, running status across channels
// and across a meta event and a system-exclusive message.
const Bytes kFormat0Track = {
    0x00, 0xFF, 0x03, 0x04, 'S', 'o', 'n', 'g',  // title
    0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,    // tempo 120
    0x00, 0xC0, 0x05,                            // ch 1 program 5
    0x00, 0x90, 0x3C, 0x64,                      // ch 1 note on
    0x00, 0x40, 0x50,                            //   running status: ch 1 note on
    0x00, 0x99, 0x24, 0x7F,                      // ch 10 note on
    0x10, 0xF0, 0x03, 0x43, 0x10, 0xF7,          // sysex at tick 16
    0x00, 0x24, 0x00,                            //   running status after it: ch 10 note off
    0x20, 0xFF, 0x58, 0x04, 0x03, 0x02, 0x18, 0x08,  // meter at tick 48
    0x00, 0xB1, 0x07, 0x64,                      // ch 2 volume
    0x00, 0x0A, 0x40,                            //   running status after a meta event: ch 2 pan
    0x00, 0xC0, 0x06,                            // ch 1: a second program, not its name
    0x83, 0x60, 0x80, 0x3C, 0x00,                // ch 1 note off at tick 528
    0x00, 0x40, 0x00,                            //   running status
    0x81, 0x70, 0xFF, 0x2F, 0x00,                // end of track at tick 768
};

TEST(SplitFormat0, ChannelsGetTracksAndEveryEventKeepsItsTick) {
    const SplitResult split = splitFormat0(cat({header(0, 1), chunk("MTrk", kFormat0Track)}));
    ASSERT_EQ(split.error, "");

    const Bytes meta = cat({
        {0x00, 0xFF, 0x03, 0x04, 'S', 'o', 'n', 'g'},
        {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20},
        {0x10, 0xF0, 0x03, 0x43, 0x10, 0xF7},
        {0x20, 0xFF, 0x58, 0x04, 0x03, 0x02, 0x18, 0x08},
        {0x85, 0x50},  // end at tick 768
        kEndOfTrack,
    });
    const Bytes channel1 = cat({
        nameEvent("Ch 1 Program 5"),
        {0x00, 0xC0, 0x05, 0x00, 0x90, 0x3C, 0x64, 0x00, 0x90, 0x40, 0x50},
        {0x30, 0xC0, 0x06},                                  // tick 48
        {0x83, 0x60, 0x80, 0x3C, 0x00, 0x00, 0x80, 0x40, 0x00},  // tick 528
        {0x81, 0x70},
        kEndOfTrack,
    });
    const Bytes channel2 = cat({nameEvent("Ch 2"), {0x30, 0xB1, 0x07, 0x64, 0x00, 0xB1, 0x0A, 0x40}, {0x85, 0x50},
                                kEndOfTrack});
    const Bytes drums = cat({nameEvent("trx4 Ch 10 Drums"), {0x00, 0x99, 0x24, 0x7F, 0x10, 0x99, 0x24, 0x00},
                             {0x85, 0x70}, kEndOfTrack});
    const Bytes expected = cat({header(1, 4), chunk("MTrk", meta), chunk("MTrk", channel1), chunk("MTrk", channel2),
                                chunk("MTrk", drums)});
    EXPECT_EQ(split.midi, expected);

    ASSERT_EQ(split.tracks.size(), 4u);
    EXPECT_EQ(split.tracks[0].channel, -1);
    EXPECT_EQ(split.tracks[3].channel, kDrumChannel);

    // The converter reads it: the title stays, every track has its name.
    MidiFile file;
    std::string reason;
    ASSERT_TRUE(readMidiBytes(file, split.midi, reason)) << reason;
    EXPECT_EQ(file.title, "Song");
    EXPECT_EQ(file.trackNames, (std::vector<std::string>{"Song", "Ch 1 Program 5", "Ch 2", "trx4 Ch 10 Drums"}));
}

TEST(SplitFormat0, ForeignChunksAndLongerHeadersAreSkippedAndAnEmptySongKeepsItsLength) {
    // A header of 8 bytes, a foreign chunk before the track, data after it.
    const Bytes input = cat({chunk("MThd", {0, 0, 0, 1, 0x00, 0x60, 0xAA, 0xBB}), chunk("XFIH", {1, 2, 3}),
                             chunk("MTrk", {0x83, 0x00, 0xFF, 0x2F, 0x00}), text("trailing")});
    const SplitResult split = splitFormat0(input);
    ASSERT_EQ(split.error, "");
    EXPECT_EQ(split.midi, cat({header(1, 1, 96), chunk("MTrk", {0x83, 0x00, 0xFF, 0x2F, 0x00})}));
}

TEST(SplitFormat0, RefusesWhatIsNoIntactFormat0File) {
    struct Case {
        Bytes input;
        std::string error;
    };
    const Bytes track = chunk("MTrk", {0x00, 0x90, 0x3C, 0x64, 0x00, 0xFF, 0x2F, 0x00});
    const Bytes fullHeader = header(0, 1);
    const Bytes shortHeader(fullHeader.begin(), fullHeader.begin() + 12);
    const std::vector<Case> cases = {
        {text("RIFF....RMID"), "not a MIDI file: it does not start with \"MThd\""},
        {cat({header(1, 1), track}), "it is format 1 already: tonequill converts it as it is"},
        {cat({header(2, 1), track}), "it is format 2, a set of independent patterns, not one song to split"},
        {cat({header(0, 2), track, track}), "its header declares 2 tracks, where a format-0 file has exactly one"},
        {cat({header(0, 1, 0), track}), "its division (ticks per quarter note) is 0"},
        {shortHeader, "the file ends inside its MThd header"},
        {header(0, 1), "the file ends after 14 bytes, before its track chunk"},
        {cat({header(0, 1), Bytes(track.begin(), track.end() - 3)}),
         "byte 14: the chunk declares 8 bytes, but only 5 follow: the file is cut off"},
        {cat({header(0, 1), chunk("MTrk", {0x00, 0x90, 0x3C})}),
         "byte 22 (tick 0): the track chunk ends inside this event"},
        {cat({header(0, 1), chunk("MTrk", {0x60, 0x3C, 0x64})}),
         "byte 22 (tick 96): data byte 0x3C with no status byte before it"},
        {cat({header(0, 1), chunk("MTrk", {0x00, 0xFF, 0x01, 0x00, 0x00, 0x3C, 0x64})}),
         "byte 26 (tick 0): data byte 0x3C with no status byte before it"},
        {cat({header(0, 1), chunk("MTrk", {0x00, 0x90, 0x3C, 0x64, 0x00, 0xF4})}),
         "byte 26 (tick 0): status byte 0xF4, which no event of a MIDI file has"},
        {cat({header(0, 1), chunk("MTrk", {0x00, 0x90, 0x3C, 0xE4})}),
         "byte 22 (tick 0): 0xE4 where a data byte of the 0x90 event belongs"},
        {cat({header(0, 1), chunk("MTrk", {0xFF, 0xFF, 0xFF, 0x7F, 0x90, 0x3C, 0x64, 0x01, 0x90, 0x3C, 0x00})}),
         "byte 29 (tick 268435455): a delta time of 1 takes the position past tick 268435455, the furthest a MIDI "
         "file reaches"},
        {cat({header(0, 1), chunk("MTrk", {0x81, 0x80, 0x80, 0x80, 0x00, 0x90, 0x3C, 0x64})}),
         "byte 22 (tick 0): a delta time larger than 268435455"},
    };
    for (const Case& c : cases) {
        const SplitResult split = splitFormat0(c.input);
        EXPECT_EQ(split.error, c.error);
        EXPECT_TRUE(split.midi.empty()) << c.error;
    }
}

TEST(SplitFormat0, OnlyTheDrumTrackNameCarriesARoutingDirective) {
    struct Case {
        int32_t channel;
        std::optional<uint8_t> program;
        std::string name;
        int32_t directive;
    };
    for (const Case& c : {Case{0, 0, "Ch 1 Program 0", -1}, Case{15, std::nullopt, "Ch 16", -1},
                          Case{3, 127, "Ch 4 Program 127", -1}, Case{9, std::nullopt, "trx4 Ch 10 Drums", 3},
                          Case{9, 25, "trx4 Ch 10 Drums Program 25", 3}}) {
        EXPECT_EQ(channelTrackName(c.channel, c.program), c.name);
        EXPECT_EQ(parseTrackDirective(c.name), c.directive) << c.name;
    }
}

TEST(SplitFormat0, OutputGoesBesideTheInputWithItsExtension) {
    EXPECT_EQ(splitOutputPath("song.mid"), "song-f1.mid");
    EXPECT_EQ(splitOutputPath("music/Song.MID"), "music/Song-f1.MID");
    EXPECT_EQ(splitOutputPath("old.songs/tune"), "old.songs/tune-f1.mid");
    EXPECT_EQ(splitOutputPath("C:\\songs\\a.b.mid"), "C:\\songs\\a.b-f1.mid");
}

}  // namespace
}  // namespace tonequill
