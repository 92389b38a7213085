#include "envelope/value_pair_index.h"

#include <stdexcept>

namespace tonequill {

ListKey listKey(const std::vector<int32_t>& values) {
    uint64_t hash = 0;
    for (const int32_t v : values) hash = hashStep(hash, v);
    return ListKey{hash, static_cast<uint32_t>(values.size())};
}

void ValuePairIndex::set(const ValuePairKey& key, int32_t record, const std::function<bool(int32_t)>& samePair) {
    auto [it, end] = entries_.equal_range(key);
    for (; it != end; ++it) {
        if (samePair(it->second)) {
            it->second = record;
            return;
        }
    }
    entries_.emplace(key, record);
}

int32_t ValuePairIndex::at(const ValuePair& pair) const {
    const auto found = entries_.find(ValuePairKey{listKey(pair.first), listKey(pair.second)});
    if (found == entries_.end()) throw std::out_of_range("ValuePairIndex::at: no such pair");
    return found->second;
}

}  // namespace tonequill
