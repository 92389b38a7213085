#pragma once

#include <algorithm>
#include <cstddef>
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

// Values spelled out for a note as a head and a loop that repeats after it
// to the note's end: frame i reads head[i] while i is below the head's
// length, then loop[(i - head length) % loop length]. Each list is at most
// the note's frame count long, and mostly as short as its tokens, so a note
// of millions of frames need not hold a value for each of them.
struct ValueCycle {
    std::vector<int32_t> head;
    std::vector<int32_t> loop;  // empty only when the head fills the note

    // The first `frames` values.
    [[nodiscard]] std::vector<int32_t> spelled(size_t frames) const;
};

// Reads a cycle's values frame by frame from frame 0.
class CycleReader {
public:
    explicit CycleReader(const ValueCycle& cycle) : cycle_(cycle) {}
    int32_t next() {
        if (inHead_) {
            if (at_ < cycle_.head.size()) return cycle_.head[at_++];
            inHead_ = false;
            at_ = 0;
        }
        const int32_t value = cycle_.loop[at_];
        if (++at_ == cycle_.loop.size()) at_ = 0;
        return value;
    }
    // The next `count` values, into `to`.
    void copy(int32_t* to, size_t count) {
        while (count > 0) {
            const std::vector<int32_t>& list = inHead_ ? cycle_.head : cycle_.loop;
            if (inHead_ && at_ == list.size()) {
                inHead_ = false;
                at_ = 0;
                continue;
            }
            const size_t take = std::min(count, list.size() - at_);
            std::copy_n(list.data() + at_, take, to);
            to += take;
            count -= take;
            at_ += take;
            if (!inHead_ && at_ == list.size()) at_ = 0;
        }
    }

private:
    const ValueCycle& cycle_;
    size_t at_ = 0;
    bool inHead_ = true;
};

// The cycles of expandValueTokens and expandNoteTokens below, for a note of
// `frames` frames.
ValueCycle valueTokenCycle(const TokenList& tokens, int32_t frames);
ValueCycle noteTokenCycle(const TokenRuns& tokens, int32_t frames);

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
