#include "app/buffered_streambuf.h"

#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <string>

namespace tonequill {
namespace {

// Pieces of every size, around and beyond the buffer's, arrive whole and in
// order; nothing reaches the destination before a flush except full blocks.
TEST(BufferedStreambuf, PassesEveryPieceOnInOrder) {
    std::stringbuf destination;
    std::string expected;
    {
        BufferedStreambuf buffer(&destination);
        std::ostream log(&buffer);
        log << "[PREP] start\n";
        expected += "[PREP] start\n";
        EXPECT_TRUE(destination.str().empty());
        for (size_t size : {1u, 100u, 65535u, 65536u, 65537u, 200000u, 3u}) {
            const std::string piece(size, static_cast<char>('a' + size % 26));
            log << piece << '\n';
            expected += piece + '\n';
        }
        log.flush();
        EXPECT_EQ(destination.str(), expected);
        log << "[WRITE] end\n";
        expected += "[WRITE] end\n";
    }
    EXPECT_EQ(destination.str(), expected);  // the rest goes out when the buffer ends
}

}  // namespace
}  // namespace tonequill
