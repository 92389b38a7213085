#include "mml/recorded_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <vector>

#include "write_log.h"

namespace tonequill {
namespace {


using Outcome = testing::WriteOutcome;

// Pieces of every size up to a hundred bytes, looks for a full block at the
// very start, twice at one place and after every piece, and log lines just
// before and just after such looks; fails after piece `failAt`.
void writePiece(TextSink& sink, std::ostream& log, int failAt) {
    sink.passOnWhenFull();
    log << "start\n";
    for (int i = 0; i < 4000; ++i) {
        sink.append(std::string(static_cast<std::size_t>(i % 101), static_cast<char>('a' + i % 26)));
        if (i % 5 == 0) log << "before " << i << "\n";
        sink.passOnWhenFull();
        if (i % 7 == 0) log << "after " << i << "\n";
        if (i % 11 == 0) sink.passOnWhenFull();
        if (i == failAt) throw std::runtime_error("piece failed at " + std::to_string(i));
    }
    sink.append("end");
    log << "end\n";
}

// The piece written behind `held` bytes of a sink on a stream that takes at
// most `limit` bytes: straight into the sink, or recorded and replayed.
Outcome write(bool recorded, std::size_t held, int failAt, int64_t limit) {
    return testing::writeLimited(limit, [&](std::ostream& out, std::ostringstream& log) {
        TextSink sink(&out);
        sink.append(held, '-');
        if (recorded) {
            RecordedText text(std::size_t{1} << 20, 256);
            EXPECT_TRUE(text.record([&](TextSink& s, std::ostream& l) { writePiece(s, l, failAt); }));
            text.replay(sink, log);
        } else {
            writePiece(sink, log, failAt);
        }
        sink.append("tail");
        sink.passOn();
    });
}

// Replayed, a piece reaches the stream in the same writes, with the same log
// lines between them, as when written in place: whatever the sink held
// before it (nothing, just under a block, a block and more), and when the
// piece or the stream fails part way.
TEST(RecordedText, ReplaysLikeWritingInPlace) {
    constexpr int64_t kNoLimit = std::numeric_limits<int64_t>::max();
    const std::size_t kBlock = TextSink::kBlock;
    for (const std::size_t held : {std::size_t{0}, std::size_t{1}, kBlock - 1, kBlock, kBlock + 70}) {
        for (const int failAt : {-1, 0, 1500, 3999}) {
            for (const int64_t limit : {kNoLimit, int64_t{10}, int64_t{100000}, int64_t{170000}}) {
                const Outcome direct = write(false, held, failAt, limit);
                const Outcome replayed = write(true, held, failAt, limit);
                const std::string where = "held " + std::to_string(held) + ", failing at " +
                                          std::to_string(failAt) + ", limit " + std::to_string(limit);
                testing::expectSameWrites(replayed, direct, where);
            }
        }
    }
    // The cases above reach past several blocks and stop part way.
    EXPECT_GT(write(false, 0, -1, kNoLimit).writes.size(), 2u);
    EXPECT_NE(write(false, 0, -1, 100000).error, "");
}

// A replay into a sink without a stream keeps everything, in order.
TEST(RecordedText, ReplaysIntoASinkWithoutAStream) {
    RecordedText text(std::size_t{1} << 20, 256);
    ASSERT_TRUE(text.record([](TextSink& s, std::ostream& l) { writePiece(s, l, -1); }));
    TextSink direct(nullptr);
    std::ostringstream directLog;
    writePiece(direct, directLog, -1);
    TextSink sink(nullptr);
    std::ostringstream log;
    text.replay(sink, log);
    EXPECT_EQ(sink.take(), direct.take());
    EXPECT_EQ(log.str(), directLog.str());
}

// Past its limit, in text or in log lines, a piece is given up at once.
TEST(RecordedText, GivesUpAPiecePastItsLimit) {
    int written = 0;
    RecordedText longText(1000, 100);
    EXPECT_FALSE(longText.record([&](TextSink& s, std::ostream&) {
        for (; written < 100000; ++written) {
            s.append("0123456789");
            s.passOnWhenFull();
        }
    }));
    EXPECT_LE(written, 101);

    RecordedText longLog(1000, 100);
    EXPECT_FALSE(longLog.record([](TextSink&, std::ostream& l) {
        for (int i = 0; i < 100000; ++i) l << "[LEN ERROR] " << i << "\n";
    }));

    RecordedText shortText(1000, 100);
    EXPECT_TRUE(shortText.record([](TextSink& s, std::ostream& l) {
        s.append(std::string(900, 'x'));
        s.passOnWhenFull();
        l << "fine\n";
    }));
}

}  // namespace
}  // namespace tonequill
