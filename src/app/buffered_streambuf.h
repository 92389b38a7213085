#pragma once

#include <array>
#include <streambuf>

namespace tonequill {

// Gathers text for another stream buffer and passes it on in blocks: the
// progress log goes to an unbuffered stderr, where every piece written would
// otherwise be a call into the system of its own. Passes everything on when
// full, on flush and when destroyed.
class BufferedStreambuf : public std::streambuf {
public:
    explicit BufferedStreambuf(std::streambuf* destination);
    ~BufferedStreambuf() override;
    BufferedStreambuf(const BufferedStreambuf&) = delete;
    BufferedStreambuf& operator=(const BufferedStreambuf&) = delete;

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;

private:
    bool passOn();

    std::streambuf* destination_;
    std::array<char, 1 << 16> buffer_;  // not cleared first: only what is written is read
};

}  // namespace tonequill
