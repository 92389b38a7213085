#include "mapping/mapping_hints.h"

#include "common/printable_text.h"

namespace tonequill {
namespace {

std::string quoted(std::string_view text) { return "\"" + printableText(text) + "\""; }

// The header a bracketed line most likely meant: the same letters in
// another case, with blanks, or without the closing bracket.
MappingSection meantSection(std::string_view line) {
    std::string letters;
    for (char c : line) {
        if (c == ' ' || c == '\t') continue;
        letters += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    if (!letters.empty() && letters.back() != ']') letters += ']';
    for (MappingSection s : {MappingSection::EvMap, MappingSection::EAtMap, MappingSection::EnMap,
                             MappingSection::EmoMap, MappingSection::ApMap}) {
        std::string header(sectionHeader(s));
        for (char& c : header) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        }
        if (letters == header) return s;
    }
    return MappingSection::None;
}

std::string unknownSectionText(const MappingHint& hint) {
    std::string text = "unknown section " + quoted(hint.text);
    if (const MappingSection meant = meantSection(hint.text); meant != MappingSection::None) {
        text += " (did you mean \"" + std::string(sectionHeader(meant)) + "\"?)";
    } else {
        text += " (the sections are [EvMap], [E@Map], [EnMap], [EmoMap] and [ApMap])";
    }
    // The line starts no section: the lines after it stay where they were.
    if (hint.section == MappingSection::None) {
        return text + "; the line is skipped, and so are the lines after it up to the next known section";
    }
    return text + "; the line is skipped, and the lines after it still go to " +
           std::string(sectionHeader(hint.section));
}

}  // namespace

std::string hintExcerpt(std::string_view text) {
    constexpr size_t kMostBytes = 40;
    if (text.size() <= kMostBytes) return std::string(text);
    size_t end = kMostBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return std::string(text.substr(0, end)) + "...";
}

std::string_view sectionHeader(MappingSection section) {
    switch (section) {
        case MappingSection::EvMap: return "[EvMap]";
        case MappingSection::EAtMap: return "[E@Map]";
        case MappingSection::EnMap: return "[EnMap]";
        case MappingSection::EmoMap: return "[EmoMap]";
        case MappingSection::ApMap: return "[ApMap]";
        case MappingSection::None: break;
    }
    return {};
}

std::string mappingHintLine(const MappingHint& hint, std::string_view path) {
    const std::string place = std::string(path) + ":" + std::to_string(hint.line);
    switch (hint.kind) {
        case MappingHintKind::unknownSection:
            return "[TVE] warning: " + place + ": " + unknownSectionText(hint);
        case MappingHintKind::unclosedBrace:
            return "[TVE] warning: " + place + ": \"{\" without \"}\"; the line is skipped";
        case MappingHintKind::notANumber:
            return "[TVE] " + place + " " + std::string(sectionHeader(hint.section)) + ": " + quoted(hint.text) +
                   " is not a number";
        case MappingHintKind::unlisted:
            return "[TVE] warning: " + std::string(path) + ": " + std::to_string(hint.line) + " more " +
                   (hint.line == 1 ? "line" : "lines") + " skipped as above, not listed";
        case MappingHintKind::outOfRange:
            return "[TVE] " + place + " " + std::string(sectionHeader(hint.section)) + ": " + quoted(hint.text) +
                   " is out of range";
    }
    return {};
}

}  // namespace tonequill
