#include "app/crlf_streambuf.h"

#include <cstring>
#include <string>

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
    // Convert the whole piece first and pass it on in one call: a track's text
    // holds a line break every few bytes.
    std::string converted;
    converted.reserve(static_cast<size_t>(n) + static_cast<size_t>(n) / 8);
    const char* from = s;
    const char* const end = s + n;
    while (from != end) {
        const auto* lineEnd = static_cast<const char*>(std::memchr(from, '\n', static_cast<size_t>(end - from)));
        if (lineEnd == nullptr) {
            converted.append(from, end);
            break;
        }
        converted.append(from, lineEnd);
        converted += "\r\n";
        from = lineEnd + 1;
    }
    const auto size = static_cast<std::streamsize>(converted.size());
    return destination_->sputn(converted.data(), size) == size ? n : 0;
}

}  // namespace tonequill
