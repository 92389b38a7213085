#include "app/buffered_streambuf.h"

#include <cstring>

namespace tonequill {

BufferedStreambuf::BufferedStreambuf(std::streambuf* destination) : destination_(destination) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

BufferedStreambuf::~BufferedStreambuf() {
    passOn();
    destination_->pubsync();
}

bool BufferedStreambuf::passOn() {
    const std::streamsize n = pptr() - pbase();
    const bool ok = n == 0 || destination_->sputn(pbase(), n) == n;
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return ok;
}

BufferedStreambuf::int_type BufferedStreambuf::overflow(int_type c) {
    if (!passOn()) return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

std::streamsize BufferedStreambuf::xsputn(const char* s, std::streamsize n) {
    const std::streamsize room = epptr() - pptr();
    if (n <= room) {
        std::memcpy(pptr(), s, static_cast<size_t>(n));
        pbump(static_cast<int>(n));
        return n;
    }
    // A piece larger than the room left: what is gathered goes first, then the piece itself.
    if (!passOn()) return 0;
    if (n < static_cast<std::streamsize>(buffer_.size())) {
        std::memcpy(pptr(), s, static_cast<size_t>(n));
        pbump(static_cast<int>(n));
        return n;
    }
    return destination_->sputn(s, n);
}

int BufferedStreambuf::sync() {
    const bool ok = passOn();
    return ok && destination_->pubsync() == 0 ? 0 : -1;
}

}  // namespace tonequill
