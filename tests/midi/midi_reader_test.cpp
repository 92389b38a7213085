#include "midi/midi_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "midi_builder.h"

namespace tonequill {
namespace {

using Bytes = std::vector<uint8_t>;

// A format-1 header with the given track count and division, then the chunks.
Bytes header(uint16_t tracks, uint16_t division = 480) {
    return {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, static_cast<uint8_t>(tracks >> 8), static_cast<uint8_t>(tracks),
            static_cast<uint8_t>(division >> 8), static_cast<uint8_t>(division)};
}

Bytes trackChunk(const Bytes& body) {
    Bytes out{'M', 'T', 'r', 'k', 0, 0, static_cast<uint8_t>(body.size() >> 8), static_cast<uint8_t>(body.size())};
    for (uint8_t b : body) out.push_back(b);
    return out;
}

Bytes fileOf(const std::vector<Bytes>& bodies, uint16_t division = 480) {
    Bytes out = header(static_cast<uint16_t>(bodies.size()), division);
    for (const auto& b : bodies) {
        auto c = trackChunk(b);
        out.insert(out.end(), c.begin(), c.end());
    }
    return out;
}

MidiFile readOk(const Bytes& bytes) {
    MidiFile file;
    std::string reason;
    EXPECT_TRUE(readMidiBytes(file, bytes, reason)) << reason;
    return file;
}

// A track's events as text, list by list, each event as
// "kind tick channel values": "on 0 0 60 100", "off", "program", "bend", "cc".
std::string eventsOf(const MidiTrack& track) {
    std::string out;
    auto add = [&out](const std::string& kind, int32_t tick, int32_t channel, std::initializer_list<int32_t> values) {
        if (!out.empty()) out += ", ";
        out += kind + " " + std::to_string(tick) + " " + std::to_string(channel);
        for (const int32_t v : values) out += " " + std::to_string(v);
    };
    for (const NoteEvent& e : track.notes) add(e.on ? "on" : "off", e.tick, e.channel, {e.note, e.velocity});
    for (const ProgramChange& e : track.programs) add("program", e.tick, e.channel, {e.program});
    for (const PitchBend& e : track.bends) add("bend", e.tick, e.channel, {e.value});
    for (const ControlChange& e : track.controllers) add("cc", e.tick, e.channel, {e.controller, e.value});
    return out;
}

// Channel events go to the lists of their kind, with absolute ticks; running
// status repeats the full status byte; a note-on of velocity 0 is a note-off.
TEST(MidiReader, ChannelEventsGoToTheirListsWithAbsoluteTicks) {
    struct Case {
        const char* what;
        Bytes body;
        const char* events;
    };
    const Case cases[] = {
        {"running status", {0x00, 0x90, 0x3C, 0x64, 0x00, 0x3E, 0x64}, "on 0 0 60 100, on 0 0 62 100"},
        {"velocity 0 and a delta of 480", {0x00, 0x90, 0x3C, 0x64, 0x83, 0x60, 0x90, 0x3C, 0x00},
         "on 0 0 60 100, off 480 0 60 0"},
        {"note-off keeps its velocity", {0x05, 0x82, 0x3C, 0x40}, "off 5 2 60 64"},
        {"program, bend, controller", {0x00, 0xC3, 0x05, 0x01, 0xE1, 0x00, 0x60, 0x02, 0xBF, 0x01, 0x40},
         "program 0 3 5, bend 1 1 12288, cc 3 15 1 64"},
        // A corrupt data byte of 0x80 or more keeps its low seven bits:
        // velocity 0x80 reads as 0 (a note-off), note 0xBC as 60, a program of 0xFF as 127.
        {"data bytes keep their low seven bits", {0x00, 0x90, 0xBC, 0x80, 0x00, 0xC0, 0xFF, 0x00, 0xB0, 0x87, 0xC0},
         "off 0 0 60 0, program 0 0 127, cc 0 0 7 64"},
        {"aftertouch leaves no trace", {0x00, 0xD0, 0x40, 0x00, 0xA0, 0x3C, 0x10, 0x00, 0x90, 0x3C, 0x64}, "on 0 0 60 100"},
        {"system exclusive leaves no trace", {0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7, 0x10, 0x90, 0x3C, 0x64},
         "on 16 0 60 100"},
        // 0x40 at the start has no running status: it is read again as the
        // next delta time; the same happens to the 0x00 after it; 0xF8 is unknown.
        {"unknown status and a data byte without running status",
         {0x00, 0x40, 0x00, 0xF8, 0x00, 0x90, 0x3C, 0x64}, "on 64 0 60 100"},
    };
    for (const Case& c : cases) EXPECT_EQ(eventsOf(readOk(fileOf({c.body})).tracks[0]), c.events) << c.what;
}

TEST(MidiReader, SetTempoGivesATempoEntryAndTheStartingTempo) {
    auto file = readOk(fileOf({{0x0A, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}}));
    ASSERT_EQ(file.tempoEvents.size(), 1u);
    EXPECT_EQ(file.tempoEvents[0].tick, 10);
    EXPECT_EQ(file.tempoEvents[0].usPerQuarter, 500000.0);
    EXPECT_EQ(file.firstSetTempo, 500000u);
}

TEST(MidiReader, NoSetTempoGivesTheDefaultEntry) {
    auto file = readOk(fileOf({{0x00, 0x90, 0x3C, 0x64}}));
    ASSERT_EQ(file.tempoEvents.size(), 1u);
    EXPECT_EQ(file.tempoEvents[0].tick, 0);
    EXPECT_EQ(file.tempoEvents[0].usPerQuarter, 500000.0);
    EXPECT_EQ(file.firstSetTempo, 0u);
}

// The tempo list is sorted by tick; the starting tempo is the first Set
// Tempo in track order, whatever its tick.
TEST(MidiReader, TempoListIsSortedByTickAcrossTracks) {
    auto file = readOk(fileOf({{0x87, 0x40, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40}, {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}}));
    ASSERT_EQ(file.tempoEvents.size(), 2u);
    EXPECT_EQ(file.tempoEvents[0].tick, 0);
    EXPECT_EQ(file.tempoEvents[1].tick, 960);
    EXPECT_EQ(file.tempoEvents[1].usPerQuarter, 1000000.0);
    EXPECT_EQ(file.firstSetTempo, 1000000u);
}

// Only a Set Tempo of three bytes changes the tempo; one of more bytes still
// gives the starting tempo from its first three, one of fewer nothing.
TEST(MidiReader, SetTempoOfAnotherLengthGivesNoTempoEntry) {
    auto shorter = readOk(fileOf({{0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1}}));
    EXPECT_EQ(shorter.tempoEvents.size(), 1u);  // the default one
    EXPECT_EQ(shorter.firstSetTempo, 0u);
    auto longer = readOk(fileOf({{0x00, 0xFF, 0x51, 0x04, 0x07, 0xA1, 0x20, 0x00}}));
    EXPECT_EQ(longer.tempoEvents[0].usPerQuarter, 500000.0);  // the default one
    EXPECT_EQ(longer.firstSetTempo, 500000u);
}

TEST(MidiReader, TimeSignaturesTrackByTrack) {
    auto file = readOk(fileOf({{0x10, 0xFF, 0x58, 0x04, 0x03, 0x03, 0x18, 0x08, 0x00, 0xFF, 0x58, 0x01, 0x05},
                               {0x00, 0xFF, 0x58, 0x02, 0x06, 0x03}}));
    ASSERT_EQ(file.timeSignatures.size(), 2u);  // the one-byte signature is not one
    EXPECT_EQ(file.timeSignatures[0].tick, 16);
    EXPECT_EQ(file.timeSignatures[0].numerator, 3);
    EXPECT_EQ(file.timeSignatures[0].power, 3);
    EXPECT_EQ(file.timeSignatures[1].tick, 0);
    EXPECT_EQ(file.timeSignatures[1].numerator, 6);
}

TEST(MidiReader, TrackNamesAndTitle) {
    auto file = readOk(fileOf({
        {0x00, 0xFF, 0x03, 0x00, 0x00, 0xFF, 0x03, 0x04, 'S', 'o', 'n', 'g', 0x00, 0xFF, 0x03, 0x01, 'X'},
        {0x00, 0xFF, 0x03, 0x04, 'B', 'a', 's', 's'},
    }));
    EXPECT_EQ(file.trackNames, (std::vector<std::string>{"Song", "Bass"}));
    EXPECT_EQ(file.title, "Song");
}

TEST(MidiReader, TitleOnlyFromTrackZeroAtTickZero) {
    auto late = readOk(fileOf({{0x0A, 0xFF, 0x03, 0x04, 'S', 'o', 'n', 'g'}}));
    EXPECT_EQ(late.trackNames[0], "Song");
    EXPECT_EQ(late.title, "");
    auto text = readOk(fileOf({{0x00, 0xFF, 0x01, 0x02, 'H', 'i', 0x00, 0xFF, 0x03, 0x01, 'N'}}));
    EXPECT_EQ(text.title, "Hi");
    EXPECT_EQ(text.trackNames[0], "N");
    auto second = readOk(fileOf({{0x00, 0xFF, 0x2F, 0x00}, {0x00, 0xFF, 0x03, 0x01, 'B'}}));
    EXPECT_EQ(second.title, "");
    EXPECT_EQ(second.trackNames, (std::vector<std::string>{"", "B"}));
}

TEST(MidiReader, LongMetaIsReadWhole) {
    Bytes body{0x00, 0xFF, 0x03, 0x82, 0x2C};  // a name of 300 bytes
    body.insert(body.end(), 300, 'a');
    body.insert(body.end(), {0x00, 0x90, 0x3C, 0x64});
    auto file = readOk(fileOf({body}));
    EXPECT_EQ(file.trackNames[0], std::string(300, 'a'));
    EXPECT_EQ(eventsOf(file.tracks[0]), "on 0 0 60 100");
}

TEST(MidiReader, ZeroTracksAndTimeCodeDivision) {
    auto file = readOk(header(0, 0x8078));
    EXPECT_TRUE(file.tracks.empty());
    EXPECT_TRUE(file.trackNames.empty());
    EXPECT_EQ(file.tempoEvents.size(), 1u);
    EXPECT_EQ(file.ticksPerQuarter, 32888);
}

TEST(MidiReader, TwoUnnamedTracksHaveTwoNames) {
    auto file = readOk(fileOf({{0x00, 0xFF, 0x2F, 0x00}, {0x00, 0xFF, 0x2F, 0x00}}));
    EXPECT_EQ(file.tracks.size(), 2u);
    EXPECT_EQ(file.trackNames.size(), 2u);
}

TEST(MidiReader, EventRunningPastTheChunkEndIsReadWhole) {
    // The chunk says 2 bytes, the note-on holds 4: the next chunk follows the event.
    Bytes bytes = header(2);
    Bytes first{'M', 'T', 'r', 'k', 0, 0, 0, 2, 0x00, 0x90, 0x3C, 0x64};
    bytes.insert(bytes.end(), first.begin(), first.end());
    auto second = trackChunk({0x00, 0x91, 0x40, 0x64});
    bytes.insert(bytes.end(), second.begin(), second.end());
    auto file = readOk(bytes);
    EXPECT_EQ(eventsOf(file.tracks[1]), "on 0 1 64 100");
}

TEST(MidiReader, NegativeChunkLengthGivesAnEmptyTrack) {
    Bytes bytes = header(2);
    Bytes first{'M', 'T', 'r', 'k', 0x80, 0, 0, 0};
    bytes.insert(bytes.end(), first.begin(), first.end());
    auto second = trackChunk({0x00, 0x90, 0x3C, 0x64});
    bytes.insert(bytes.end(), second.begin(), second.end());
    auto file = readOk(bytes);
    EXPECT_EQ(eventsOf(file.tracks[0]), "");
    EXPECT_EQ(eventsOf(file.tracks[1]), "on 0 0 60 100");
}

TEST(MidiReader, DataAfterTheLastTrackIsIgnored) {
    Bytes bytes = fileOf({{0x00, 0x90, 0x3C, 0x64}});
    bytes.insert(bytes.end(), {'J', 'U', 'N', 'K', 1, 2, 3});
    readOk(bytes);
}

// A file on disk reads exactly like the same bytes in memory, whether it is
// many blocks long or cut short.
TEST(MidiReader, FileOnDiskReadsLikeItsBytes) {
    Bytes body;
    for (int i = 0; i < 40000; ++i) {
        for (uint8_t b : {uint8_t(0x00), uint8_t(0x90), uint8_t(60 + i % 12), uint8_t(0x64), uint8_t(0x60),
                          uint8_t(0x80), uint8_t(60 + i % 12), uint8_t(0x00)}) {
            body.push_back(b);
        }
    }
    Bytes large = header(1);
    const uint32_t size = static_cast<uint32_t>(body.size());
    for (uint8_t b : {uint8_t('M'), uint8_t('T'), uint8_t('r'), uint8_t('k'), uint8_t(size >> 24), uint8_t(size >> 16),
                      uint8_t(size >> 8), uint8_t(size)}) {
        large.push_back(b);
    }
    large.insert(large.end(), body.begin(), body.end());
    const std::string path = ::testing::TempDir() + "midi_reader_file_test.mid";
    Bytes cutShort = large;
    cutShort.resize(300001);
    for (const Bytes& bytes : {large, cutShort, Bytes{'M', 'T', 'h', 'd'}}) {
        testing::writeBytes(path, bytes);
        MidiFile fromDisk;
        MidiFile fromMemory;
        std::string diskReason;
        std::string memoryReason;
        const bool diskOk = readMidiFile(fromDisk, path, diskReason);
        EXPECT_EQ(diskOk, readMidiBytes(fromMemory, bytes, memoryReason)) << bytes.size();
        EXPECT_EQ(diskReason, memoryReason);
        if (!diskOk) continue;
        ASSERT_EQ(fromDisk.tracks.size(), 1u);
        EXPECT_EQ(fromDisk.tracks[0].notes.size(), 80000u);
        EXPECT_EQ(eventsOf(fromDisk.tracks[0]), eventsOf(fromMemory.tracks[0]));
    }
    std::remove(path.c_str());
}

struct BadFile {
    const char* name;
    Bytes bytes;
    const char* reasonPart;
};

class MidiReaderRejects : public ::testing::TestWithParam<BadFile> {};

TEST_P(MidiReaderRejects, WithAReasonThatSaysWhere) {
    MidiFile file;
    std::string reason;
    EXPECT_FALSE(readMidiBytes(file, GetParam().bytes, reason));
    EXPECT_NE(reason.find(GetParam().reasonPart), std::string::npos) << reason;
}

Bytes cut(Bytes bytes, size_t keep) {
    bytes.resize(keep);
    return bytes;
}

const Bytes kOneNote = fileOf({{0x00, 0x90, 0x3C, 0x64, 0x10, 0xFF, 0x01, 0x02, 'h', 'i'}});

INSTANTIATE_TEST_SUITE_P(
    Cases, MidiReaderRejects,
    ::testing::Values(
        BadFile{"Empty", {}, "MThd"}, BadFile{"NotMidi", {'R', 'I', 'F', 'F', 0, 0, 0, 6}, "MThd"},
        BadFile{"CutInHeader", cut(kOneNote, 11), "MThd header"},
        BadFile{"CutInChunkType", cut(kOneNote, 16), "track 0"},
        BadFile{"CutInChunkLength", cut(kOneNote, 20), "chunk length"},
        BadFile{"CutInDelta", cut(kOneNote, 22), "track 0, tick 0"},
        BadFile{"CutInNote", cut(kOneNote, 24), "channel event"},
        BadFile{"CutInMetaPayload", cut(kOneNote, 30), "meta event"},
        BadFile{"HeaderLengthEight", [] {
                    Bytes b{'M', 'T', 'h', 'd', 0, 0, 0, 8, 0, 1, 0, 1, 1, 0xE0, 0, 0};
                    auto c = trackChunk({0x00, 0x90, 0x3C, 0x64});
                    b.insert(b.end(), c.begin(), c.end());
                    return b;
                }(),
                "expected 'MTrk'"},
        BadFile{"MoreTracksDeclaredThanPresent", [] {
                    Bytes b = fileOf({{0x00, 0x90, 0x3C, 0x64}});
                    b[11] = 2;
                    return b;
                }(),
                "track 1"},
        BadFile{"ZeroDivision", fileOf({{0x00, 0x90, 0x3C, 0x64}}, 0), "division"},
        BadFile{"ZeroTempo", fileOf({{0x00, 0xFF, 0x51, 0x03, 0x00, 0x00, 0x00}}), "Set Tempo of 0"},
        BadFile{"ZeroTempoLongPayload", fileOf({{0x00, 0xFF, 0x51, 0x04, 0x00, 0x00, 0x00, 0x01}}), "Set Tempo of 0"},
        BadFile{"TickPastInt32", fileOf({{0x87, 0xFF, 0xFF, 0xFF, 0x7F, 0x90, 0x3C, 0x64, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F,
                                          0x90, 0x3C, 0x00}}),
                "past 2147483647"},
        BadFile{"HugeMetaLength", fileOf({{0x00, 0xFF, 0x01, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F}}), "runs past the end"},
        BadFile{"EndlessVariableLengthQuantity", fileOf({Bytes(40, 0xFF)}), "delta time"}),
    [](const auto& info) { return std::string(info.param.name); });

// A track chunk whose length field says `length`, whatever its body holds.
Bytes chunkClaiming(uint32_t length, const Bytes& body) {
    Bytes out{'M', 'T', 'r', 'k', static_cast<uint8_t>(length >> 24), static_cast<uint8_t>(length >> 16),
              static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes fileOfChunks(const std::vector<Bytes>& chunks) {
    Bytes out = header(static_cast<uint16_t>(chunks.size()));
    for (const Bytes& c : chunks) out.insert(out.end(), c.begin(), c.end());
    return out;
}

// Each track starts where the one before it really ended: a track whose
// last event runs past its chunk moves the next track's start.
TEST(MidiReader, ATrackWhoseLastEventRunsPastItsChunkMovesTheNextTracksStart) {
    const Bytes notes{0x00, 0x90, 0x40, 0x64, 0x20, 0x40, 0x00, 0x00, 0xFF, 0x01, 0x01, 'x'};
    const Bytes tempo{0x30, 0xFF, 0x51, 0x03, 0x03, 0x0D, 0x40, 0x00, 0xC0, 0x05};
    // Track 1 claims 4 bytes but its name event has 7.
    const Bytes bytes =
        fileOfChunks({trackChunk(notes), chunkClaiming(4, {0x00, 0xFF, 0x03, 0x03, 'a', 'b', 'c'}), trackChunk(tempo)});
    MidiFile file;
    std::string reason;
    ASSERT_TRUE(readMidiBytes(file, bytes, reason)) << reason;
    ASSERT_EQ(file.tracks.size(), 3u);
    EXPECT_EQ(file.trackNames[1], "abc");
    EXPECT_EQ(eventsOf(file.tracks[2]), "program 48 0 5");
    ASSERT_EQ(file.tempoEvents.size(), 1u);
    EXPECT_EQ(file.tempoEvents[0].tick, 0x30);
    EXPECT_EQ(file.tempoEvents[0].usPerQuarter, 200000.0);
}

TEST(MidiProbe, ReadsTheFormatWordOrMinusOne) {
    EXPECT_EQ(probeMidiFormatBytes(header(1)), 1);
    Bytes format0 = header(1);
    format0[9] = 0;
    EXPECT_EQ(probeMidiFormatBytes(format0), 0);
    Bytes shortHeader = header(1);
    shortHeader[7] = 5;
    EXPECT_EQ(probeMidiFormatBytes(shortHeader), -1);
    Bytes longHeader = header(1);
    longHeader[7] = 8;
    EXPECT_EQ(probeMidiFormatBytes(longHeader), 1);
    EXPECT_EQ(probeMidiFormatBytes(cut(header(1), 9)), -1);
    EXPECT_EQ(probeMidiFormat("/nonexistent/file.mid"), -1);
}

// The track's events as the rules read them, one byte at a time; false where
// a reading fails. The reader's own reading, which takes the common events
// straight from the bytes, must give the same.
bool plainEvents(const Bytes& body, std::string& out) {
    size_t pos = 0;
    int64_t tick = 0;
    int running = -1;
    auto vlq = [&](uint32_t& value) {
        value = 0;
        do {
            if (pos >= body.size()) return false;
            value = (value << 7) | (body[pos] & 0x7Fu);
        } while ((body[pos++] & 0x80u) != 0);
        return true;
    };
    std::string notes, programs, bends, controllers;
    auto add = [](std::string& list, const std::string& text) { list += (list.empty() ? "" : ", ") + text; };
    while (pos < body.size()) {
        uint32_t delta = 0;
        if (!vlq(delta)) return false;
        tick += delta;
        if (tick > 2147483647) return false;
        if (pos >= body.size()) return false;
        int status = body[pos++];
        if (status < 0x80) {
            --pos;
            if (running < 0) continue;
            status = running;
        } else {
            running = status;
        }
        const int kind = status & 0xF0;
        const std::string at = std::to_string(tick) + " " + std::to_string(status & 0x0F);
        if (kind >= 0x80 && kind <= 0xE0) {
            const size_t size = kind == 0xC0 || kind == 0xD0 ? 1 : 2;
            if (body.size() - pos < size) return false;
            const int a = body[pos] & 0x7F;
            const int b = size > 1 ? body[pos + 1] & 0x7F : 0;
            pos += size;
            if (kind == 0x80 || kind == 0x90) add(notes, (kind == 0x90 && b > 0 ? "on " : "off ") + at + " " + std::to_string(a) + " " + std::to_string(b));
            if (kind == 0xC0) add(programs, "program " + at + " " + std::to_string(a));
            if (kind == 0xE0) add(bends, "bend " + at + " " + std::to_string(b * 128 + a));
            if (kind == 0xB0) add(controllers, "cc " + at + " " + std::to_string(a) + " " + std::to_string(b));
        } else if (status == 0xFF || status == 0xF0 || status == 0xF7) {
            if (status == 0xFF && pos >= body.size()) return false;
            const int type = status == 0xFF ? body[pos++] : -1;
            uint32_t length = 0;
            if (!vlq(length) || body.size() - pos < length) return false;
            // A Set Tempo of 0 microseconds fails the reading.
            if (type == 0x51 && length >= 3 && body[pos] == 0 && body[pos + 1] == 0 && body[pos + 2] == 0) return false;
            pos += length;
        }
    }
    out = notes;
    for (const std::string* list : {&programs, &bends, &controllers}) {
        if (!list->empty()) out += (out.empty() ? "" : ", ") + *list;
    }
    return true;
}

// Whether the reader, reading `body` as a file's only track, succeeds or
// fails as the plain reading does, and gives the same events.
::testing::AssertionResult readsAsThePlainReading(const Bytes& body) {
    std::string want;
    const bool plainOk = plainEvents(body, want);
    MidiFile file;
    std::string reason;
    const bool ok = readMidiBytes(file, fileOf({body}), reason);
    if (ok != plainOk) {
        return ::testing::AssertionFailure() << "the reader " << (ok ? "reads it" : "fails: " + reason)
                                           << "; the plain reading " << (plainOk ? "reads it" : "fails");
    }
    if (ok && eventsOf(file.tracks[0]) != want) {
        return ::testing::AssertionFailure() << "the reader gives " << eventsOf(file.tracks[0]) << "\nthe plain reading "
                                           << want;
    }
    return ::testing::AssertionSuccess();
}

TEST(MidiReader, ReadsRandomTracksAsTheRulesDoByteByByte) {
    std::mt19937 random(3);
    auto below = [&random](uint32_t n) { return static_cast<uint32_t>(random() % n); };
    for (int round = 0; round < 3000; ++round) {
        Bytes body;
        const uint32_t events = below(40);
        for (uint32_t e = 0; e < events; ++e) {
            // Delta times of one to five bytes, now and then one that takes
            // the tick to the edge of 32 bits.
            const uint32_t shape = below(20);
            const uint32_t bytes = shape == 0 ? 5 : shape < 3 ? 4 : 1 + below(2);
            for (uint32_t i = 1; i < bytes; ++i) body.push_back(static_cast<uint8_t>(0x80 | (shape == 1 ? 0x7F : below(2))));
            body.push_back(static_cast<uint8_t>(below(128)));
            const uint32_t what = below(24);
            if (what < 12) {  // a channel event with its status
                const uint8_t status = static_cast<uint8_t>(0x80 + below(0x70));
                body.push_back(status);
                body.push_back(static_cast<uint8_t>(below(256)));
                if ((status & 0xE0) != 0xC0) body.push_back(static_cast<uint8_t>(below(128)));
            } else if (what < 18) {  // data bytes under running status, or none
                body.push_back(static_cast<uint8_t>(below(128)));
                body.push_back(static_cast<uint8_t>(below(128)));
            } else if (what < 21) {  // a meta event
                body.push_back(0xFF);
                body.push_back(static_cast<uint8_t>(below(3) == 0 ? 0x51 : below(128)));
                const uint32_t length = below(5);
                body.push_back(static_cast<uint8_t>(length));
                for (uint32_t i = 0; i < length; ++i) body.push_back(static_cast<uint8_t>(below(4)));
            } else if (what < 23) {  // system exclusive, or an unknown status
                body.push_back(static_cast<uint8_t>(below(2) == 0 ? 0xF0 : 0xF1 + below(14)));
                body.push_back(static_cast<uint8_t>(below(3)));
            } else {  // a stray byte
                body.push_back(static_cast<uint8_t>(below(256)));
            }
        }
        ASSERT_TRUE(readsAsThePlainReading(body)) << "round " << round;
    }
}

// A pitch wheel's stream of bends under running status, broken now and then
// by what such a stream cannot hold: a longer delta time, a second data byte
// of 0x80 or more, a new status, a meta event, the end of the file. Now and
// then the breaks are rare, and streams run to thousands of bends.
TEST(MidiReader, ReadsBendStreamsAsTheRulesDoByteByByte) {
    std::mt19937 random(5);
    auto below = [&random](uint32_t n) { return static_cast<uint32_t>(random() % n); };
    for (int round = 0; round < 1000; ++round) {
        Bytes body{0x00, static_cast<uint8_t>(0xE0 | below(16)), 0x00, 0x40};
        const bool longStreams = below(8) == 0;
        const uint32_t bends = longStreams ? below(5000) : below(200);
        const uint32_t breaks = longStreams ? 6000 : 40;  // one break in so many bends, for each kind
        for (uint32_t b = 0; b < bends; ++b) {
            const uint32_t shape = below(breaks);
            if (shape == 0) body.push_back(0x81);  // a delta time of two bytes
            body.push_back(static_cast<uint8_t>(shape == 1 ? 0x7F : below(8)));
            if (shape == 2) body.push_back(static_cast<uint8_t>(0xE0 | below(16)));  // a new bend status
            if (shape == 3) body.push_back(0xB0);  // a controller's status
            if (shape == 4) {  // a meta event, after which running status goes on
                body.insert(body.end(), {0xFF, 0x01, 0x01, 0x41, 0x00});
            }
            body.push_back(static_cast<uint8_t>(below(128)));
            body.push_back(static_cast<uint8_t>(shape == 5 ? 0x80 | below(128) : below(128)));
        }
        body.resize(body.size() - below(3));  // now and then a file that ends inside a bend
        ASSERT_TRUE(readsAsThePlainReading(body)) << "round " << round;
    }
}

TEST(MidiReader, StopsABendStreamAtTheLastTick) {
    // Seven delta times of 0x0FFFFFFF and one of 0x0FFFFF3E reach tick
    // 2^31 - 201; of the bends 1 tick apart that follow, the 201st crosses
    // 2^31 - 1, well before the end of the file.
    Bytes body;
    for (int i = 0; i < 7; ++i) body.insert(body.end(), {0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0x01, 0x00});
    body.insert(body.end(), {0xFF, 0xFF, 0xFE, 0x3E, 0xE3, 0x00, 0x40});
    for (int i = 0; i < 210; ++i) body.insert(body.end(), {0x01, 0x10, 0x40});
    std::string want;
    EXPECT_FALSE(plainEvents(body, want));
    MidiFile file;
    std::string reason;
    EXPECT_FALSE(readMidiBytes(file, fileOf({body}), reason));
    EXPECT_EQ(reason, "track 0, tick 2147483647: delta time 1 takes the tick past 2147483647 (the header declares 1 tracks)");
}

}  // namespace
}  // namespace tonequill
