#include "app/descriptor_streambuf.h"

#include <cstring>

#include "common/file_system.h"

namespace tonequill {

DescriptorStreambuf::DescriptorStreambuf(int fd) : fd_(fd) { setp(buffer_.data(), buffer_.data() + kBufferSize); }

bool DescriptorStreambuf::drain() {
    if (error_) return false;
    const auto size = static_cast<std::size_t>(pptr() - pbase());
    if (size > 0) error_ = files::writeAll(fd_, pbase(), size);
    setp(buffer_.data(), buffer_.data() + kBufferSize);
    return !error_;
}

DescriptorStreambuf::int_type DescriptorStreambuf::overflow(int_type c) {
    if (!drain()) return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

std::streamsize DescriptorStreambuf::xsputn(const char* s, std::streamsize n) {
    const auto room = static_cast<std::streamsize>(epptr() - pptr());
    if (n <= room) {
        std::memcpy(pptr(), s, static_cast<std::size_t>(n));
        pbump(static_cast<int>(n));
        return n;
    }
    // A large piece goes straight out after what is buffered.
    if (!drain()) return 0;
    error_ = files::writeAll(fd_, s, static_cast<std::size_t>(n));
    return error_ ? 0 : n;
}

int DescriptorStreambuf::sync() { return drain() ? 0 : -1; }

}  // namespace tonequill
