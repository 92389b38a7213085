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

}  // namespace
}  // namespace tonequill
