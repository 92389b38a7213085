#include "common/printable_text.h"

#include <cstdint>
#include <cstdio>

namespace tonequill {
namespace {

// Length of the valid UTF-8 sequence at `i` (1 to 4), or 0 when none starts there.
size_t utf8Length(std::string_view s, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b = byte(i);
    if (b < 0x80) return 1;
    size_t length = 0;
    uint32_t code = 0;
    if (b >= 0xC2 && b <= 0xDF) length = 2, code = b & 0x1F;
    else if (b >= 0xE0 && b <= 0xEF) length = 3, code = b & 0x0F;
    else if (b >= 0xF0 && b <= 0xF4) length = 4, code = b & 0x07;
    else return 0;
    if (i + length > s.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) || code > 0x10FFFF) return 0;
    if (code >= 0xD800 && code <= 0xDFFF) return 0;
    return length;
}

}  // namespace

std::string printableText(std::string_view bytes) {
    std::string out;
    for (size_t i = 0; i < bytes.size();) {
        const size_t length = utf8Length(bytes, i);
        const auto b = static_cast<unsigned char>(bytes[i]);
        const bool c1Control = length == 2 && b == 0xC2 && static_cast<unsigned char>(bytes[i + 1]) < 0xA0;
        if (length == 0 || b < 0x20 || b == 0x7F || b == '\\' || c1Control) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            out += b == '\\' ? std::string("\\\\") : std::string(hex);
            ++i;
            continue;
        }
        out.append(bytes.substr(i, length));
        i += length;
    }
    return out;
}

}  // namespace tonequill
