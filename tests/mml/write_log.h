#pragma once

#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

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

}  // namespace tonequill::testing
