#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <exception>
#include <ios>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "app/limited_streambuf.h"

namespace tonequill::testing {

// Keeps what is written and, for every write, its size and how much of the
// log had been written by then.
class WriteLog : public std::streambuf {
public:
    explicit WriteLog(const std::ostringstream& log) : log_(log) {}
    std::string text;
    std::vector<std::string> writes;

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        text.append(s, static_cast<std::size_t>(n));
        writes.push_back(std::to_string(n) + " bytes after " + std::to_string(log_.str().size()) + " log bytes");
        return n;
    }
    int_type overflow(int_type c) override {
        const char one = traits_type::to_char_type(c);
        return xsputn(&one, 1) == 1 ? c : traits_type::eof();
    }

private:
    const std::ostringstream& log_;
};

// What writing to a recording stream left: the text, the writes (with the
// log written before each), the log, and the error that stopped it, if any.
struct WriteOutcome {
    std::string text;
    std::vector<std::string> writes;
    std::string log;
    std::string error;
};

// Runs write(out, log) on a stream that keeps its writes and takes at most
// `limit` bytes, failing past them as the application's streams do.
template <typename Write>
WriteOutcome writeLimited(int64_t limit, Write write) {
    WriteOutcome outcome;
    std::ostringstream log;
    WriteLog buffer(log);
    LimitedStreambuf limited(&buffer, limit);
    std::ostream out(&limited);
    out.exceptions(std::ios::badbit);
    try {
        write(out, log);
    } catch (const std::exception& e) {
        outcome.error = e.what();
    }
    outcome.text = buffer.text;
    outcome.writes = buffer.writes;
    outcome.log = log.str();
    return outcome;
}

inline void expectSameWrites(const WriteOutcome& got, const WriteOutcome& want, const std::string& where) {
    EXPECT_EQ(got.text, want.text) << where;
    EXPECT_EQ(got.writes, want.writes) << where;
    EXPECT_EQ(got.log, want.log) << where;
    EXPECT_EQ(got.error, want.error) << where;
}

}  // namespace tonequill::testing
