#include "mml/length_speller.h"

#include <algorithm>
#include <string_view>

#include "prep/length_table.h"

namespace tonequill {
namespace {

// Real tables top out at a whole note of 192 ticks; a hand-made table with a
// far larger entry is simply searched every time.
constexpr int32_t kMostLookedUp = 4096;

}  // namespace

LengthSpeller::LengthSpeller(const std::vector<LengthEntry>& table, std::ostream& log) : table_(table), log_(log) {
    if (table.empty() || table.front().ticks > kMostLookedUp) return;
    if (std::any_of(table.begin(), table.end(), [](const LengthEntry& e) { return e.ticks < 1; })) return;
    const auto largest = static_cast<std::size_t>(table.front().ticks);
    slots_.assign(largest * kSlot, '\0');
    lengths_.assign(largest, 0);
    std::string spelling;
    for (std::size_t t = 1; t < largest; ++t) {
        spelling.clear();
        if (appendLengthText(spelling, static_cast<int32_t>(t), false, table) != 0 || spelling.size() > kSlot) {
            slots_.clear();
            lengths_.clear();
            return;
        }
        std::copy(spelling.begin(), spelling.end(), slots_.begin() + static_cast<std::ptrdiff_t>(t * kSlot));
        lengths_[t] = static_cast<uint8_t>(spelling.size());
    }
    largest_ = table.front().ticks;
}

void LengthSpeller::appendOther(TextSink& sink, int32_t ticks, bool rest) const {
    if (ticks < 1) return;
    if (largest_ == 0) {
        std::string spelling;
        const int32_t unspelled = appendLengthText(spelling, ticks, rest, table_);
        sink.append(spelling);
        if (unspelled > 0) log_ << "[LEN ERROR] " << unspelled << "\n";
        return;
    }
    // Whole largest tokens while they fit, then the looked-up rest of it.
    if (rest) sink.append('r');
    const std::string& top = table_.front().token;
    for (int32_t left = ticks; left >= largest_; left -= largest_) {
        if (left != ticks) sink.append('^');
        sink.append(top);
    }
    const int32_t remainder = ticks % largest_;
    if (remainder == 0) return;
    sink.append('^');
    append(sink, remainder, false);
}

std::string LengthSpeller::text(int32_t ticks, bool rest) const {
    TextSink sink(nullptr);
    append(sink, ticks, rest);
    return sink.take();
}

}  // namespace tonequill
