#include "app/crlf_streambuf.h"

#include <cstring>

namespace tonequill {

CrlfStreambuf::int_type CrlfStreambuf::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char ch = traits_type::to_char_type(c);
    if (ch == '\n' && traits_type::eq_int_type(destination_->sputc('\r'), traits_type::eof())) {
        return traits_type::eof();
    }
    return destination_->sputc(ch);
}

std::streamsize CrlfStreambuf::xsputn(const char* s, std::streamsize n) {
    // The text between line breaks is copied in runs into one buffer that is
    // reused for every call, and the buffer goes on whenever it is full: a
    // block of the document costs a call or two further down, not one per line.
    const char* from = s;
    const char* const end = s + n;
    std::size_t used = 0;
    auto passOn = [&] {
        const auto size = static_cast<std::streamsize>(used);
        used = 0;
        return destination_->sputn(converted_.data(), size) == size;
    };
    while (from != end) {
        const auto left = static_cast<std::size_t>(end - from);
        const auto* lineEnd = static_cast<const char*>(std::memchr(from, '\n', left));
        const std::size_t run = lineEnd == nullptr ? left : static_cast<std::size_t>(lineEnd - from);
        // A run and its CR LF fit in the buffer after at most one pass-on,
        // unless the run alone is longer than the buffer: then it goes on by itself.
        if (kBufferSize - used < run + 2 && used > 0 && !passOn()) return 0;
        if (run + 2 > kBufferSize) {
            if (destination_->sputn(from, static_cast<std::streamsize>(run)) != static_cast<std::streamsize>(run)) return 0;
        } else {
            std::memcpy(converted_.data() + used, from, run);
            used += run;
        }
        from += run;
        if (from == end) break;
        converted_.data()[used++] = '\r';
        converted_.data()[used++] = '\n';
        ++from;
    }
    if (used > 0 && !passOn()) return 0;
    return n;
}

}  // namespace tonequill
