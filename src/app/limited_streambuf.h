#pragma once

#include <cstdint>
#include <streambuf>

namespace tonequill {

// The largest document the converter writes, 256 MiB: an hour-long song on
// all 28 tracks takes a few megabytes, so this only stops hostile files from
// filling the disk (and from taking long to write).
constexpr int64_t kMaxDocumentBytes = int64_t{256} << 20;

// Passes bytes on to another stream buffer and throws ConversionError once
// more than `limit` bytes have been written. A stream over it must have
// badbit in its exceptions mask so the error reaches the caller.
class LimitedStreambuf : public std::streambuf {
public:
    LimitedStreambuf(std::streambuf* destination, int64_t limit) : destination_(destination), limit_(limit) {}

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override { return destination_->pubsync(); }

private:
    void take(std::streamsize n);

    std::streambuf* destination_;
    int64_t limit_;
    int64_t written_ = 0;
};

}  // namespace tonequill
