#pragma once

#include <cstddef>
#include <streambuf>

#include "common/bulk_memory.h"

namespace tonequill {

// Passes text on to another stream buffer, storing every "\n" as CR LF, so
// the document has the same bytes on every platform.
class CrlfStreambuf : public std::streambuf {
public:
    explicit CrlfStreambuf(std::streambuf* destination) : destination_(destination) {}

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override { return destination_->pubsync(); }

private:
    std::streambuf* destination_;
    static constexpr std::size_t kBufferSize = std::size_t{1} << 17;
    // CR LF text on its way, reused.
    BulkBytes converted_{kBufferSize};
};

}  // namespace tonequill
