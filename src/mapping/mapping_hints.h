#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "mapping/mapping_sections.h"

namespace tonequill {

// Lines of a mapping file that are read otherwise than their writer most
// likely meant, and the place of a number that stops the loading.
enum class MappingHintKind {
    unknownSection,  // a bracketed line that is none of the five headers
    unclosedBrace,   // a "{" with no "}" after it
    notANumber,      // where a number belongs
    outOfRange,      // a number beyond 32 signed bits
    unlisted,        // `line` counts the further warnings, left out
};

// The warnings a mapping file gets at the most; a file of a million odd
// lines gets these and one line that counts the others.
constexpr int32_t kMostMappingWarnings = 100;

struct MappingHint {
    MappingHintKind kind = MappingHintKind::notANumber;
    int32_t line = 0;                               // counted from 1; for unlisted, the count
    MappingSection section = MappingSection::None;  // the section the line belongs to
    std::string text;  // the bracketed line, or the number's text, as written (see hintExcerpt)
};

// At most the first 40 bytes of a text for a hint, cut between UTF-8
// characters, with "..." where it was cut: a line of a megabyte is not
// repeated whole.
std::string hintExcerpt(std::string_view text);

// The hint as a log line of its own (without "\n"), naming the file by `path`:
// `[TVE] warning: tve.txt:7: unknown section "[EVMAP]" ...` for a warning,
// `[TVE] tve.txt:12 [EvMap]: "x" is not a number` for a number.
std::string mappingHintLine(const MappingHint& hint, std::string_view path);

// "[EvMap]" and so on; empty for None.
std::string_view sectionHeader(MappingSection section);

// The place of a malformed number, carried by the error that stops the loading.
struct MappingNumberPlace {
    MappingHint hint;
};

// A malformed number: the standard library's error, std::invalid_argument
// ("invalid stoi argument") or std::out_of_range ("stoi argument out of
// range"), with where it lies.
template <typename StandardError>
struct MappingNumberError : StandardError, MappingNumberPlace {
    MappingNumberError(const StandardError& error, MappingHint where)
        : StandardError(error), MappingNumberPlace{std::move(where)} {}
};

}  // namespace tonequill
