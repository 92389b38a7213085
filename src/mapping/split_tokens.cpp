#include <string>
#include <string_view>
#include <vector>

#include "mapping/mapping_loader.h"

namespace tonequill {

std::vector<std::string> splitTokens(std::string_view body) {
    // Commas count as blanks; runs of blanks and tabs separate the tokens.
    const auto isSeparator = [](char c) { return c == ' ' || c == '\t' || c == ','; };
    std::vector<std::string> tokens;
    size_t i = 0;
    while (i < body.size()) {
        while (i < body.size() && isSeparator(body[i])) ++i;
        const size_t start = i;
        while (i < body.size() && !isSeparator(body[i])) ++i;
        if (i > start) tokens.emplace_back(body.substr(start, i - start));
    }
    return tokens;
}

}  // namespace tonequill
