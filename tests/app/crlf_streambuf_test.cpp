#include "app/crlf_streambuf.h"

#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <string>

namespace tonequill {
namespace {

// Every line break becomes CR LF wherever it falls in a piece: first, last,
// doubled, alone, or written as a single character.
TEST(CrlfStreambuf, StoresEveryLineBreakAsCrLf) {
    struct Case {
        std::string written;
        std::string stored;
    };
    const Case cases[] = {
        {"", ""},
        {"abc", "abc"},
        {"\n", "\r\n"},
        {"\nA", "\r\nA"},
        {"A\n", "A\r\n"},
        {"A\n\nB", "A\r\n\r\nB"},
        {"#TITLE x\nt120 l4\n", "#TITLE x\r\nt120 l4\r\n"},
    };
    for (const Case& c : cases) {
        std::stringbuf destination;
        CrlfStreambuf crlf(&destination);
        std::ostream out(&crlf);
        out << c.written;
        out.flush();
        EXPECT_EQ(destination.str(), c.stored) << c.written;
    }
    std::stringbuf destination;
    CrlfStreambuf crlf(&destination);
    std::ostream out(&crlf);
    out << 'a' << '\n' << "b\n";
    EXPECT_EQ(destination.str(), "a\r\nb\r\n");
}

// Pieces longer than the translation buffer: many short lines, and single
// lines longer than the buffer itself, before, between and after breaks.
TEST(CrlfStreambuf, TranslatesPiecesLargerThanItsBuffer) {
    std::string manyLines;
    for (int i = 0; i < 60000; ++i) manyLines += "E@1o4c" + std::to_string(i) + "\n";
    const std::string longLine(300000, 'x');
    const std::string pieces[] = {manyLines, longLine, longLine + "\n" + longLine, "\n" + longLine + "\n\n"};
    for (const std::string& piece : pieces) {
        std::string stored;
        for (char c : piece) {
            if (c == '\n') stored += '\r';
            stored += c;
        }
        std::stringbuf destination;
        CrlfStreambuf crlf(&destination);
        std::ostream out(&crlf);
        out << piece;
        out.flush();
        EXPECT_TRUE(destination.str() == stored) << piece.size() << " bytes";
    }
}

}  // namespace
}  // namespace tonequill
