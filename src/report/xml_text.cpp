#include "report/xml_text.h"

#include <cstdint>

namespace tonequill {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Decodes the UTF-8 sequence at `i`; returns its length, 0 when none starts there.
size_t decode(std::string_view s, size_t i, uint32_t& code) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b = byte(i);
    size_t length = 0;
    if (b < 0x80) {
        code = b;
        return 1;
    }
    if (b >= 0xC2 && b <= 0xDF) length = 2, code = b & 0x1Fu;
    else if (b >= 0xE0 && b <= 0xEF) length = 3, code = b & 0x0Fu;
    else if (b >= 0xF0 && b <= 0xF4) length = 4, code = b & 0x07u;
    else return 0;
    if (i + length > s.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i + k) & 0x3Fu);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) || code > 0x10FFFF) return 0;
    return length;
}

bool allowedInXml(uint32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

}  // namespace

std::string xmlText(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        uint32_t code = 0;
        const size_t length = decode(bytes, i, code);
        if (length == 0 || !allowedInXml(code)) {
            out += kReplacement;
            i += length == 0 ? 1 : length;
            continue;
        }
        switch (code) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default: out.append(bytes.substr(i, length));
        }
        i += length;
    }
    return out;
}

}  // namespace tonequill
