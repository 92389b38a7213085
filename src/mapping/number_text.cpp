#include "mapping/number_text.h"

#include <stdexcept>

namespace tonequill {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

int32_t parseInt32(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && isSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size() || !isDigit(text[i])) throw std::invalid_argument("invalid stoi argument");
    // Accumulate as a negative number so that -2147483648 fits.
    constexpr int64_t kLimit = 2147483648LL;
    int64_t magnitude = 0;
    bool overflow = false;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        if (!overflow) {
            magnitude = magnitude * 10 + (text[i] - '0');
            if (magnitude > kLimit) overflow = true;
        }
    }
    if (overflow || (!negative && magnitude == kLimit)) throw std::out_of_range("stoi argument out of range");
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

bool isIntegerToken(std::string_view text) {
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (i >= text.size()) return false;
    for (; i < text.size(); ++i) {
        if (!isDigit(text[i])) return false;
    }
    return true;
}

}  // namespace tonequill
