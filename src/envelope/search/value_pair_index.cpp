#include "envelope/search/value_pair_index.h"

#include <stdexcept>

namespace tonequill {

namespace {

ListKey keyOf(std::span<const int32_t> values, bool& nonZero) {
    ListHasher hasher;
    nonZero = hasher.growToAndOr(values.data(), values.size()) != 0;
    return hasher.key();
}

}  // namespace

ListKey listKey(std::span<const int32_t> values) {
    bool nonZero = false;
    return keyOf(values, nonZero);
}

ValuePairFacts valuePairFacts(std::span<const int32_t> em, std::span<const int32_t> en) {
    ValuePairFacts facts;
    facts.key.em = keyOf(em, facts.emNonZero);
    facts.key.en = keyOf(en, facts.enNonZero);
    return facts;
}

void ValuePairIndex::grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 64 : 2 * old.size(), Slot{});
    // Order along a probe run does not matter: at most one entry stands for
    // a given pair.
    for (const Slot& slot : old) {
        if (slot.record < 0) continue;
        std::size_t i = home(slot.key);
        while (slots_[i].record >= 0) i = (i + 1) & (slots_.size() - 1);
        slots_[i] = slot;
    }
}

int32_t ValuePairIndex::at(const ValuePair& pair) const {
    const int32_t found = find(ValuePairKey{listKey(pair.first), listKey(pair.second)}, [](int32_t) { return true; });
    if (found < 0) throw std::out_of_range("ValuePairIndex::at: no such pair");
    return found;
}

}  // namespace tonequill
