#pragma once

#include <cstddef>
#include <streambuf>
#include <system_error>

#include "common/bulk_memory.h"

namespace tonequill {

// Writes to an open file descriptor through a buffer of its own. The first
// failed write is kept with the system's reason; the stream over it then
// fails, and its owner tells the user why.
class DescriptorStreambuf : public std::streambuf {
public:
    explicit DescriptorStreambuf(int fd);
    ~DescriptorStreambuf() override = default;
    DescriptorStreambuf(const DescriptorStreambuf&) = delete;
    DescriptorStreambuf& operator=(const DescriptorStreambuf&) = delete;

    [[nodiscard]] const std::error_code& error() const { return error_; }

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;

private:
    bool drain();

    int fd_;
    std::error_code error_;
    static constexpr std::size_t kBufferSize = std::size_t{1} << 17;
    BulkBytes buffer_{kBufferSize};
};

}  // namespace tonequill
