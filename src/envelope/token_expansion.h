#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

#include "mapping/mapping_tables.h"

namespace tonequill {

// The most times one "U"/"D" arpeggio token repeats each chord tone: 4096
// frames is over a minute per tone, far beyond any real arpeggio, and keeps
// "U2000000000" from building billions of tokens.
inline constexpr int32_t kMaxArpeggioRepeat = 4096;

// Turns arpeggio tokens into En tokens for a chord with these intervals (an
// empty list counts as the single interval 0): "L"/"l" gives "L"; "U<r>" each
// interval in ascending order r times in a row, "D<r>" the same descending
// (r from 1 to kMaxArpeggioRepeat, 1 when missing or below 1); a signed
// number is kept as written; anything else is dropped. A repeat count beyond
// 32 bits throws std::out_of_range("stoi argument out of range").
TokenList expandArpeggio(const TokenList& tokens, std::span<const int32_t> intervals);
inline TokenList expandArpeggio(const TokenList& tokens, std::initializer_list<int32_t> intervals) {
    return expandArpeggio(tokens, std::span<const int32_t>(intervals.begin(), intervals.size()));
}

// Turns vibrato tokens into exactly `frames` values: numbers, "D<h>" or
// "D" <n> holds of the last number, and "L" to start the loop that fills the
// rest of the note (without "L" the whole list loops). Only the values a note
// of `frames` frames can reach are built, however long a hold asks to be.
std::vector<int32_t> expandValueTokens(const TokenList& tokens, int32_t frames);

// The same for En note tokens, without holds: numbers and "L" only.
std::vector<int32_t> expandNoteTokens(const TokenList& tokens, int32_t frames);

}  // namespace tonequill
