#include "prep/length_table.h"

#include <algorithm>
#include <map>

namespace tonequill {

std::vector<LengthEntry> buildLengthTable(int32_t timebase) {
    const int32_t whole = 4 * timebase;
    std::map<int32_t, std::string, std::greater<>> table;
    auto offer = [&](int32_t ticks, const std::string& token) {
        if (ticks < 1 || ticks > whole) return;
        auto [it, added] = table.emplace(ticks, token);
        if (added) return;
        std::string& held = it->second;
        // The shorter token wins; at equal length the byte-wise smaller one.
        if (token.size() < held.size() || (token.size() == held.size() && token < held)) held = token;
    };

    offer(3 * whole / 4, "2.");
    const std::pair<int32_t, const char*> dotted[] = {{8, "4."}, {16, "8."}, {32, "16."}, {64, "32."}};
    for (const auto& [divisor, token] : dotted) {
        if ((3 * whole) % divisor == 0) offer(3 * whole / divisor, token);
    }
    for (int32_t d : {1, 2, 4, 8, 16, 32, 64}) offer(whole / d, std::to_string(d));
    for (int32_t d = 1; d <= whole; ++d) {
        if (whole % d == 0) offer(whole / d, std::to_string(d));
    }

    std::vector<LengthEntry> entries;
    entries.reserve(table.size());
    for (const auto& [ticks, token] : table) entries.push_back(LengthEntry{ticks, token});
    return entries;
}

int32_t appendLengthText(std::string& text, int32_t ticks, bool rest, const std::vector<LengthEntry>& table) {
    int32_t remaining = ticks;
    bool first = true;
    auto entry = table.begin();
    while (remaining >= 1) {
        // Entries are largest first, so the search for a fitting one only moves forward.
        entry = std::find_if(entry, table.end(), [&](const LengthEntry& e) { return e.ticks <= remaining; });
        if (entry == table.end()) return remaining;
        if (first) {
            if (rest) text += 'r';
            first = false;
        } else {
            text += '^';
        }
        text += entry->token;
        remaining -= entry->ticks;
    }
    return 0;
}

std::string lengthText(int32_t ticks, bool rest, const std::vector<LengthEntry>& table, std::ostream& log) {
    std::string text;
    const int32_t unspelled = appendLengthText(text, ticks, rest, table);
    if (unspelled > 0) log << "[LEN ERROR] " << unspelled << "\n";
    return text;
}

}  // namespace tonequill
