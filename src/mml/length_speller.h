#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "mml/text_sink.h"
#include "common/prepared_song.h"

namespace tonequill {

// Spells lengths exactly like lengthText, from spellings worked out once per
// table: every duration below the largest entry is looked up, and a longer
// one is that many largest tokens plus the spelling of what is left, which is
// what the greedy choice gives. A table that cannot spell every short
// duration (a hand-made one without a 1-tick entry) is searched every time,
// so its "[LEN ERROR]" lines come out as before.
class LengthSpeller {
public:
    LengthSpeller(const std::vector<LengthEntry>& table, std::ostream& log);
    // The same spellings, with "[LEN ERROR]" lines going to `log`.
    LengthSpeller(const LengthSpeller& other, std::ostream& log)
        : table_(other.table_), log_(log), largest_(other.largest_), slots_(other.slots_), lengths_(other.lengths_) {}

    // Appends the spelling of `ticks`, with "r" first for a rest; nothing below 1.
    void append(TextSink& sink, int32_t ticks, bool rest) const {
        if (ticks >= 1 && ticks < largest_) {  // the common case: one piece of a bar
            if (rest) sink.append('r');
            const auto t = static_cast<std::size_t>(ticks);
            sink.appendPadded<kSlot>(&slots_[t * kSlot], lengths_[t]);
            return;
        }
        appendOther(sink, ticks, rest);
    }

    // The same spelling as text of its own.
    [[nodiscard]] std::string text(int32_t ticks, bool rest) const;

private:
    // Room for every spelling below a whole note of the real tables (the
    // longest, 2.^8.^32.^96, takes 12 bytes).
    static constexpr std::size_t kSlot = 16;

    void appendOther(TextSink& sink, int32_t ticks, bool rest) const;

    const std::vector<LengthEntry>& table_;
    std::ostream& log_;
    int32_t largest_ = 0;        // 0 when nothing is looked up
    std::vector<char> slots_;    // the spelling of t at slots_[t * kSlot], padded to kSlot bytes
    std::vector<uint8_t> lengths_;
};

}  // namespace tonequill
