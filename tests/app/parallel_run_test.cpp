#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "app/run.h"
#include "forced_threads.h"
#include "midi_builder.h"
#include "random_song.h"

namespace tonequill {
namespace {

// Everything a run shows: its messages, its log, its status and its document.
std::string runOn(unsigned threads, const std::vector<uint8_t>& midi, const std::string& mapping,
                  int64_t maxDocumentBytes = kMaxDocumentBytes) {
    const testing::ForcedThreads forced(threads);
    std::ostringstream out;
    std::ostringstream log;
    std::string document;
    const int status = runInMemory(midi, mapping, document, out, log, maxDocumentBytes);
    return "status " + std::to_string(status) + "\n" + out.str() + "---\n" + log.str() + "---\n" + document;
}

// Large songs are converted on several threads; the document, the log and
// the messages are those of a run on one thread, also when the run fails.
TEST(ParallelRun, ConvertsAsOnOneThread) {
    struct Case {
        const char* what;
        std::vector<uint8_t> midi;
        std::string mapping;
        int64_t maxDocumentBytes = kMaxDocumentBytes;
    };
    const std::vector<std::string> merged{"one", "trx1 two", "trx2 three", "trx4 four", "trx5", "trx1 six", "seven"};
    const std::vector<uint8_t> big = testing::randomSong(99u, 480, 500000, merged, 400);
    std::vector<uint8_t> cutShort = big;
    cutShort.resize(cutShort.size() * 3 / 4);
    testing::TrackBuilder tooFar;
    tooFar.name(0, "trx29 too far").note(0, 480, 0, 60);
    std::vector<testing::TrackBuilder> failing{testing::TrackBuilder().tempo(0, 500000)};
    for (int i = 0; i < 6; ++i) failing.push_back(testing::TrackBuilder().note(0, 480, i, 60 + i).note(480, 960, i, 62));
    failing.push_back(tooFar);
    // A TR4 voice whose [EnMap] number is beyond 32 bits fails while combinations
    // are numbered; a note of more frames than a song may have fails in the
    // envelope pass, which comes first.
    std::string badNoise = testing::kRandomMapping;
    badNoise += "[EnMap]\n1040{99999999999}\n";
    testing::TrackBuilder noise;
    noise.name(0, "trx4 noise").note(0, 480, 9, 40);
    testing::TrackBuilder endless;
    endless.note(0, 700000, 0, 60);
    std::vector<testing::TrackBuilder> noiseOnly{testing::TrackBuilder().tempo(0, 1000000), noise};
    std::vector<testing::TrackBuilder> bothFail{testing::TrackBuilder().tempo(0, 1000000), noise, endless};
    const Case cases[] = {
        {"noise record error", testing::buildMidi(noiseOnly, 1), badNoise},
        {"envelope error before noise record error", testing::buildMidi(bothFail, 1), badNoise},
        {"merged tracks", big, testing::kRandomMapping},
        {"many tracks", testing::randomSong(5u, 96, 700000, {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k"}, 200),
         testing::kRandomMapping},
        {"no mapping", testing::randomSong(6u, 480, 400000, {"x", "trx3 y", "z"}, 300), ""},
        {"cut short", cutShort, testing::kRandomMapping},
        {"routing error", testing::buildMidi(failing), testing::kRandomMapping},
        {"document limit", big, testing::kRandomMapping, 20000},
    };
    for (const Case& c : cases) {
        const std::string one = runOn(1, c.midi, c.mapping, c.maxDocumentBytes);
        EXPECT_EQ(runOn(4, c.midi, c.mapping, c.maxDocumentBytes), one) << c.what;
        EXPECT_EQ(runOn(2, c.midi, c.mapping, c.maxDocumentBytes), one) << c.what;
    }
}

}  // namespace
}  // namespace tonequill
