#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "forced_threads.h"
#include "mml/document_writer.h"
#include "prep/channel_layout.h"
#include "song_fixture.h"
#include "write_log.h"

namespace tonequill {
namespace {

using testing::addCombo;
using testing::addNote;
using testing::makeNote;
using testing::makeSong;

constexpr int64_t kNoLimit = std::numeric_limits<int64_t>::max();


struct Song {
    MappingTables tables;
    PreparedSong song;
    MidiFile file;
};

// `tracks` tracks of a few thousand notes each (`notes` and more): rests,
// notes tied over bars, voices, levels and envelopes changing, on the
// square, triangle, noise and DPCM tracks and beyond; hundreds of envelope
// records with value lists, some repeating, so the definitions take several
// blocks too.
Song makeLargeSong(int32_t tracks = 8, int32_t notes = 2000) {
    Song s;
    s.song = makeSong(tracks);
    s.song.title = "Parallel";
    for (int32_t r = 0; r < 600; ++r) {
        EnvelopeRecord record;
        record.hasEm = r % 3 != 1;
        record.hasEn = r % 3 != 0;
        for (int32_t v = 0; v < 20 + r % 40; ++v) {
            record.emValues.push_back(v < 8 ? v * r % 17 : v % (2 + r % 5));
            record.enValues.push_back((v * 7 + r) % 13 - 6);
        }
        s.tables.records.push_back(record);
    }
    uint32_t random = 12345;
    auto next = [&](uint32_t below) {
        random = random * 1103515245u + 12345u;
        return (random >> 8) % below;
    };
    for (int32_t track = 0; track < tracks; ++track) {
        int32_t tick = static_cast<int32_t>(next(400));
        for (int32_t i = 0; i < notes + 300 * (track % 8); ++i) {
            const auto length = static_cast<int32_t>(next(8) == 0 ? 100 + next(1000) : 6 + next(90));
            const auto envelope = static_cast<int32_t>(next(5)) == 0 ? -1 : static_cast<int32_t>(next(600));
            addNote(s.song, track,
                    makeNote(24 + static_cast<int32_t>(next(70)), tick, tick + length,
                             1 + static_cast<int32_t>(next(127)), static_cast<int32_t>(next(4)), envelope));
            tick += static_cast<int32_t>(next(6) == 0 ? next(900) : next(length + 1));
        }
        const ChannelLayout layout = channelLayout(track);
        for (int32_t program = 0; program < 4; ++program) {
            for (int32_t level = 0; level < layout.levelCount; level += 3) {
                addCombo(s.song, layout.voiceBase + 1 + program, level, track + 1);
            }
        }
    }
    s.song.dpcmNotes = {36, 38};
    s.file.tempoEvents = {{0, 500000.0}, {9600, 400000.0}, {50000, 600000.0}};
    return s;
}

using Outcome = testing::WriteOutcome;

// The document written on `threads` threads, whatever its size, to a stream that takes at most
// `limit` bytes, as the application's streams do.
Outcome writeDocument(const Song& s, unsigned threads, int64_t limit) {
    const testing::ForcedThreads forced(threads);
    return testing::writeLimited(limit, [&](std::ostream& out, std::ostringstream& log) {
        writeMmlDocument(out, s.tables, s.song, s.file, log);
    });
}

// Written on several threads, the document reaches the stream in the same
// writes, with the same log lines between them, as on one thread; also when
// the stream refuses more at any point, which stops both at the same byte
// with the same log.
void expectSameOnAnyThreads(const Song& s, const std::vector<int64_t>& limits, const std::string& what) {
    for (const int64_t limit : limits) {
        const Outcome alone = writeDocument(s, 1, limit);
        for (const unsigned threads : {2u, 4u}) {
            const Outcome together = writeDocument(s, threads, limit);
            const std::string where = what + ", limit " + std::to_string(limit) + ", " + std::to_string(threads) +
                                      " threads";
            testing::expectSameWrites(together, alone, where);
        }
    }
}

// Limits in the header, the definitions, early and late tracks, and the tempo track.
std::vector<int64_t> limitsAcross(const Song& s) {
    const auto size = static_cast<int64_t>(writeDocument(s, 1, kNoLimit).text.size());
    return {kNoLimit, 100, 70000, size / 3, size * 2 / 3, size - 5};
}

TEST(ParallelDocument, IsTheSameOnAnyNumberOfThreads) {
    const Song s = makeLargeSong();
    const Outcome whole = writeDocument(s, 1, kNoLimit);
    ASSERT_EQ(whole.error, "");
    ASSERT_GT(whole.writes.size(), 8u);
    for (const char* part : {"#OffsetEm", "#OffsetEn", "TR1\n", "TR4 o5\n", "TR5\n", "TR8\n", "TR29\n"}) {
        EXPECT_NE(whole.text.find(part), std::string::npos) << part;
    }
    expectSameOnAnyThreads(s, limitsAcross(s), "large song");

    // More tracks than the writer takes on at once.
    const Song many = makeLargeSong(70, 100);
    expectSameOnAnyThreads(many, limitsAcross(many), "seventy tracks");
}

// A track that stops the conversion part way (a note refers to an envelope
// record that does not exist) ends the document where it did on one thread:
// the same text handed on, the same log, the same message.
TEST(ParallelDocument, AFailingTrackStopsTheDocumentAsOnOneThread) {
    Song s = makeLargeSong();
    s.song.notes[static_cast<std::size_t>(s.song.trackNotes[2][1500])].envelopeIndex = 5000;
    s.song.notes[static_cast<std::size_t>(s.song.trackNotes[6][10])].envelopeIndex = 6000;
    const Outcome alone = writeDocument(s, 1, kNoLimit);
    EXPECT_NE(alone.error.find("TR3:"), std::string::npos) << alone.error;
    expectSameOnAnyThreads(s, limitsAcross(s), "failing track");
}

// A length table that cannot spell every length logs "[LEN ERROR]" note by
// note; the lines fall between the same writes as on one thread.
TEST(ParallelDocument, LengthErrorLinesFallBetweenTheSameWrites) {
    Song s = makeLargeSong();
    s.song.lengthTable = {{192, "1"}, {96, "2"}, {48, "4"}, {24, "8"}, {12, "16"}};
    const Outcome alone = writeDocument(s, 1, kNoLimit);
    EXPECT_NE(alone.log.find("[LEN ERROR]"), std::string::npos);
    expectSameOnAnyThreads(s, limitsAcross(s), "unspellable lengths");
}

// A track whose text is far longer than its notes would make (rests of
// thousands of bars) is written straight to the document instead of being
// held, with the same result.
TEST(ParallelDocument, ATrackFarLongerThanItsNotesIsTheSame) {
    Song s = makeLargeSong();
    addNote(s.song, 1, makeNote(60, 40000000, 40000100));
    addNote(s.song, 5, makeNote(60, 35000000, 35000100));
    const Outcome whole = writeDocument(s, 1, kNoLimit);
    ASSERT_GT(whole.text.size(), std::size_t{1} << 20);
    expectSameOnAnyThreads(s, limitsAcross(s), "long rests");
}

}  // namespace
}  // namespace tonequill
