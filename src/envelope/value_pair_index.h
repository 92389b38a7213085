#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tonequill {

using ValuePair = std::pair<std::vector<int32_t>, std::vector<int32_t>>;  // (Em values, En values)

// A value list's fingerprint: its length and a hash of its values.
struct ListKey {
    uint64_t hash = 0;
    uint32_t length = 0;
    bool operator==(const ListKey&) const = default;
};

// The hash of the first values of a list, grown one value at a time.
inline uint64_t hashStep(uint64_t hash, int32_t value) {
    hash ^= static_cast<uint32_t>(value) + 0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2);
    return hash * 0xBF58476D1CE4E5B9ull;
}

ListKey listKey(const std::vector<int32_t>& values);

struct ListKeyHash {
    std::size_t operator()(const ListKey& key) const {
        return static_cast<std::size_t>((key.hash ^ (uint64_t{key.length} * 0x94D049BB133111EBull)) >> 3);
    }
};

struct ValuePairKey {
    ListKey em;
    ListKey en;
    bool operator==(const ValuePairKey&) const = default;
};

struct ValuePairKeyHash {
    std::size_t operator()(const ValuePairKey& key) const {
        const ListKeyHash one;
        return one(key.em) * 31 + one(key.en);
    }
};

// The pairs of value lists (Em values, En values) already answered, each with
// its record. A pair is kept as its fingerprint, never as a copy of its lists:
// every pair entered is the beginning of its record's lists (a record only
// ever grows at its end), so the record itself holds the pair's values, and
// the envelope pass checks them there before it trusts an entry.
class ValuePairIndex {
public:
    using Entries = std::unordered_multimap<ValuePairKey, int32_t, ValuePairKeyHash>;

    [[nodiscard]] bool empty() const { return entries_.empty(); }
    [[nodiscard]] std::size_t size() const { return entries_.size(); }

    // The records entered under this fingerprint (more than one only when
    // different pairs share it).
    [[nodiscard]] std::pair<Entries::const_iterator, Entries::const_iterator> candidates(const ValuePairKey& key) const {
        return entries_.equal_range(key);
    }

    // Enters `record` for the pair with this fingerprint. `samePair` tells
    // whether an entry already there (given its record) stands for the same
    // pair; that entry is then replaced.
    void set(const ValuePairKey& key, int32_t record, const std::function<bool(int32_t)>& samePair);

    // The record of a pair, found by fingerprint alone (for inspection);
    // throws std::out_of_range when there is none.
    [[nodiscard]] int32_t at(const ValuePair& pair) const;

private:
    Entries entries_;
};

}  // namespace tonequill
