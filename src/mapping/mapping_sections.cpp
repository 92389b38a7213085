#include "mapping/mapping_sections.h"

#include <stdexcept>
#include <string>
#include <utility>

#include "mapping/mapping_hints.h"
#include "mapping/mapping_loader.h"
#include "mapping/number_text.h"

namespace tonequill {
namespace {

// A key or token read as a number; a malformed one throws the standard
// error together with its text (the line reader adds the line).
int32_t readNumber(std::string_view text) {
    try {
        return parseInt32(text);
    } catch (const std::out_of_range& e) {
        throw MappingNumberError<std::out_of_range>(
            e, MappingHint{MappingHintKind::outOfRange, 0, {}, hintExcerpt(text)});
    } catch (const std::invalid_argument& e) {
        throw MappingNumberError<std::invalid_argument>(
            e, MappingHint{MappingHintKind::notANumber, 0, {}, hintExcerpt(text)});
    }
}

EvItem numberItem(std::string_view token) { return EvItem{0, readNumber(token), {}}; }
EvItem textItem(std::string text) { return EvItem{1, 0, std::move(text)}; }

// [EvMap]: numbers, "L"/"R" marks and "D" items; a lone "D" takes the integer
// token after it ("D", "4" -> "D4").
void readEvLine(MappingTables& tables, std::string_view keyText, std::string_view body) {
    const int32_t key = readNumber(keyText);
    const TokenList tokens = splitTokens(body);
    EvDefinition definition;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const std::string& token = tokens[i];
        if (token == "L" || token == "R") {
            definition.items.push_back(textItem(token));
        } else if (token.front() == 'D') {
            if (token.size() == 1 && i + 1 < tokens.size() && isIntegerToken(tokens[i + 1])) {
                definition.items.push_back(textItem("D" + tokens[i + 1]));
                ++i;
            } else {
                definition.items.push_back(textItem(token));
            }
        } else {
            definition.items.push_back(numberItem(token));
        }
    }
    tables.evMap.insert_or_assign(key, std::move(definition));
}

// [E@Map] and [EnMap]: the tokens as written.
void readTokenLine(std::map<int32_t, TokenList>& table, std::string_view keyText, std::string_view body) {
    const int32_t key = readNumber(keyText);
    table.insert_or_assign(key, splitTokens(body));
}

// [EmoMap]: a "D" or "d" before an integer token joins it as "D<token>".
void readEmoLine(MappingTables& tables, std::string_view keyText, std::string_view body) {
    const int32_t key = readNumber(keyText);
    const TokenList tokens = splitTokens(body);
    TokenList entry;
    entry.reserve(tokens.size());
    for (size_t i = 0; i < tokens.size(); ++i) {
        const std::string& token = tokens[i];
        if ((token == "D" || token == "d") && i + 1 < tokens.size() && isIntegerToken(tokens[i + 1])) {
            entry.push_back("D" + tokens[i + 1]);
            ++i;
        } else {
            entry.push_back(token);
        }
    }
    tables.emoMap.insert_or_assign(key, std::move(entry));
}

std::string_view trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// [ApMap]: "E<n>"/"e<n>" keys are controller-12 values, plain numbers are
// program numbers + 1; anything else, or an empty list, is skipped quietly.
void readApLine(MappingTables& tables, std::string_view keyText, std::string_view body) {
    const std::string_view key = trimBlanks(keyText);
    TokenList tokens = splitTokens(body);
    if (tokens.empty() || key.empty()) return;
    if ((key.front() == 'E' || key.front() == 'e') && key.size() > 1 && isIntegerToken(key.substr(1))) {
        tables.apCcMap.insert_or_assign(readNumber(key.substr(1)), std::move(tokens));
    } else if (isIntegerToken(key)) {
        tables.apPcMap.insert_or_assign(readNumber(key), std::move(tokens));
    }
}

}  // namespace

MappingSection sectionOfHeader(std::string_view line) {
    if (line == "[EvMap]") return MappingSection::EvMap;
    if (line == "[E@Map]") return MappingSection::EAtMap;
    if (line == "[EnMap]") return MappingSection::EnMap;
    if (line == "[EmoMap]") return MappingSection::EmoMap;
    if (line == "[ApMap]") return MappingSection::ApMap;
    return MappingSection::None;
}

LineShape readDataLine(MappingTables& tables, MappingSection section, std::string_view line) {
    const auto open = line.find('{');
    if (open == std::string_view::npos) {
        const auto first = line.find_first_not_of(" \t");
        return first != std::string_view::npos && line[first] == '[' ? LineShape::bracketed : LineShape::noBraces;
    }
    const auto close = line.find('}', open + 1);
    if (close == std::string_view::npos) return LineShape::unclosedBrace;
    if (section == MappingSection::None) return LineShape::entry;
    const std::string_view keyText = line.substr(0, open);
    const std::string_view body = line.substr(open + 1, close - open - 1);
    switch (section) {
        case MappingSection::EvMap: readEvLine(tables, keyText, body); break;
        case MappingSection::EAtMap: readTokenLine(tables.eAtMap, keyText, body); break;
        case MappingSection::EnMap: readTokenLine(tables.enMap, keyText, body); break;
        case MappingSection::EmoMap: readEmoLine(tables, keyText, body); break;
        case MappingSection::ApMap: readApLine(tables, keyText, body); break;
        case MappingSection::None: break;
    }
    return LineShape::entry;
}

}  // namespace tonequill
