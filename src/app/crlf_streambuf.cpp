#include "app/crlf_streambuf.h"

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
    std::streamsize start = 0;
    for (std::streamsize i = 0; i < n; ++i) {
        if (s[i] != '\n') continue;
        const std::streamsize chunk = i - start;
        if (destination_->sputn(s + start, chunk) != chunk) return start;
        if (destination_->sputn("\r\n", 2) != 2) return i;
        start = i + 1;
    }
    const std::streamsize rest = n - start;
    if (destination_->sputn(s + start, rest) != rest) return start;
    return n;
}

}  // namespace tonequill
