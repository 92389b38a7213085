#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "mapping/mapping_hints.h"
#include "mapping/mapping_tables.h"

namespace tonequill {

// The largest mapping file read: a musician's runs to a few kilobytes.
constexpr std::size_t kMaxMappingFileBytes = std::size_t{64} << 20;

// Loads the mapping file at `path` into `tables`, writing its progress lines
// to `log`. A file that cannot be opened, or is no regular file, is logged
// and leaves the tables empty; a larger one than kMaxMappingFileBytes throws
// std::runtime_error. Lines read otherwise than they look (mapping_hints.h)
// are logged as warnings between "[TVE] OPEN OK" and "[TVE] DONE". A
// malformed number is logged with its place, then throws
// std::invalid_argument("invalid stoi argument") or
// std::out_of_range("stoi argument out of range") (as a MappingNumberError).
// The lines of the warnings and of the place are also appended to
// `hintLines`, when given.
void loadMappingFile(MappingTables& tables, const std::string& path, std::ostream& log,
                     std::vector<std::string>* hintLines = nullptr);

// Fills `tables` from the whole text of a mapping file (no log lines), and
// appends the warnings to `hints`, when given. A malformed number throws as
// loadMappingFile does, with its place in the MappingNumberError.
void parseMappingText(MappingTables& tables, std::string_view text, std::vector<MappingHint>* hints = nullptr);

// Writes "[TVE] DONE" and the six count lines.
void logMappingSummary(const MappingTables& tables, std::ostream& log);

// The tokens of a body: commas count as blanks, split at runs of blanks and tabs.
std::vector<std::string> splitTokens(std::string_view body);

}  // namespace tonequill
