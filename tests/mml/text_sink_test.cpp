#include "mml/text_sink.h"

#include <gtest/gtest.h>

#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

namespace tonequill {
namespace {

// Keeps what is written and the size of every write.
class RecordingBuffer : public std::streambuf {
public:
    std::string text;
    std::vector<std::streamsize> writes;

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        text.append(s, static_cast<std::size_t>(n));
        writes.push_back(n);
        return n;
    }
    int_type overflow(int_type c) override {
        text += traits_type::to_char_type(c);
        writes.push_back(1);
        return c;
    }
};

TEST(TextSink, KeepsEveryKindOfPieceInOrder) {
    TextSink sink(nullptr);
    sink.append("E@");
    sink.number(-2147483648LL);
    sink.append('x');
    sink.append(3, '>');
    sink.appendPadded<4>("c+..", 2);
    sink.appendPadded<4>("d...", 1);
    sink.number(0);
    sink.appendRepeated("r1\n", 2);
    EXPECT_EQ(sink.take(), "E@-2147483648x>>>c+d0r1\nr1\n");
}

// A sink on a stream holds its text back until a block is full, then hands
// it on whole; the last piece goes on when asked. The stream never sees a
// write much larger than a block, however long the text.
TEST(TextSink, PassesTheTextOnInBlocks) {
    RecordingBuffer buffer;
    std::ostream out(&buffer);
    std::string expected;
    {
        TextSink sink(&out);
        sink.append("TR1\n");
        sink.passOnWhenFull();
        EXPECT_TRUE(buffer.writes.empty());
        sink.appendRepeated("r1\n", 100000);
        for (int i = 0; i < 30000; ++i) {
            sink.append("o4c");
            sink.number(i);
            sink.passOnWhenFull();
        }
        sink.passOn();
    }
    expected += "TR1\n";
    for (int i = 0; i < 100000; ++i) expected += "r1\n";
    for (int i = 0; i < 30000; ++i) expected += "o4c" + std::to_string(i);
    EXPECT_EQ(buffer.text, expected);
    ASSERT_GT(buffer.writes.size(), 4u);
    for (std::streamsize size : buffer.writes) EXPECT_LE(size, static_cast<std::streamsize>(TextSink::kBlock + 16));
}

}  // namespace
}  // namespace tonequill
