#include "envelope/combo_numbering.h"

#include <algorithm>

#include "mapping/number_text.h"

namespace tonequill {

int32_t comboNumber(ComboTable& combos, int32_t voice, int32_t level, int32_t trackNumber) {
    const ComboKey key{voice, level, trackNumber};
    if (const auto known = combos.index.find(key); known != combos.index.end()) return known->second;
    const auto number = static_cast<int32_t>(combos.list.size());
    combos.index.emplace(key, number);
    combos.list.push_back(Combination{voice, level, trackNumber});
    return number;
}

EnvelopeRecord noiseRecordOf(const MappingTables& tables, int32_t voice) {
    const auto entry = tables.enMap.find(voice);
    const TokenList tokens = entry != tables.enMap.end() && !entry->second.empty() ? entry->second : TokenList{"0"};

    EnvelopeRecord record;
    record.hasEn = true;
    if (std::all_of(tokens.begin(), tokens.end(), [](const std::string& t) { return isIntegerToken(t); })) {
        record.enValues.reserve(tokens.size());
        for (const std::string& token : tokens) record.enValues.push_back(parseInt32(token));
    } else {
        record.enTokens = TokenRuns::of(tokens);
        record.enVerbatim = true;
    }
    return record;
}

}  // namespace tonequill
