#include "app/limited_streambuf.h"

#include <string>

#include "common/conversion_error.h"

namespace tonequill {

void LimitedStreambuf::take(std::streamsize n) {
    written_ += n;
    if (written_ > limit_) {
        throw ConversionError("the document would be larger than " + std::to_string(limit_) +
                              " bytes; the song is far too long to convert");
    }
}

LimitedStreambuf::int_type LimitedStreambuf::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    take(1);
    return destination_->sputc(traits_type::to_char_type(c));
}

std::streamsize LimitedStreambuf::xsputn(const char* s, std::streamsize n) {
    take(n);
    return destination_->sputn(s, n);
}

}  // namespace tonequill
