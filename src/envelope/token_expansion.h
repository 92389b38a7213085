#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

#include "common/token_runs.h"
#include "mapping/mapping_tables.h"

namespace tonequill {

// Turns arpeggio tokens into En tokens for a chord with these intervals (an
// empty list counts as the single interval 0): "L"/"l" gives "L"; "U<r>" each
// interval in ascending order r times in a row, "D<r>" the same descending
// (r any 32-bit count of 1 or more; 1 when missing or below 1); a signed
// number is kept as written; anything else is dropped. The result is held as
// runs, so a count of two billion costs one run per interval. A repeat count
// beyond 32 bits throws std::out_of_range("stoi argument out of range").
TokenRuns expandArpeggio(const TokenList& tokens, std::span<const int32_t> intervals);
inline TokenRuns expandArpeggio(const TokenList& tokens, std::initializer_list<int32_t> intervals) {
    return expandArpeggio(tokens, std::span<const int32_t>(intervals.begin(), intervals.size()));
}

// Turns vibrato tokens into exactly `frames` values: numbers, "D<h>" or
// "D" <n> holds of the last number, and "L" to start the loop that fills the
// rest of the note (without "L" the whole list loops). Only the values a note
// of `frames` frames can reach are built, however long a hold asks to be.
std::vector<int32_t> expandValueTokens(const TokenList& tokens, int32_t frames);

// The same for En note tokens, without holds: numbers and "L" only.
std::vector<int32_t> expandNoteTokens(const TokenList& tokens, int32_t frames);
// The same for tokens held as runs. Reading stops once the note's frames are
// settled, so the work follows `frames`, not the length of the list; a
// number beyond 32 bits anywhere in the list still throws, as reading every
// token would.
std::vector<int32_t> expandNoteTokens(const TokenRuns& tokens, int32_t frames);

}  // namespace tonequill
