#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "common/bulk_memory.h"

namespace tonequill {

using ValuePair = std::pair<std::vector<int32_t>, std::vector<int32_t>>;  // (Em values, En values)

// A pair of value lists' fingerprint: a hash of both lists' values, and
// their lengths.
struct ValuePairKey {
    uint64_t hash = 0;
    uint32_t emLength = 0;
    uint32_t enLength = 0;
    bool operator==(const ValuePairKey&) const = default;
};

// What the record search needs to know of a pair of lists beforehand: their
// fingerprint and whether each holds a value other than 0, worked out in one
// pass over the values.
struct ValuePairFacts {
    ValuePairKey key;
    bool emNonZero = false;
    bool enNonZero = false;
};
ValuePairFacts valuePairFacts(const int32_t* em, std::size_t emLength, const int32_t* en, std::size_t enLength);
inline ValuePairFacts valuePairFacts(std::span<const int32_t> em, std::span<const int32_t> en) {
    return valuePairFacts(em.data(), em.size(), en.data(), en.size());
}

// The pairs of value lists (Em values, En values) already answered, each with
// its record. A pair is kept as part of its fingerprint, never as a copy of
// its lists: every pair entered is the beginning of its record's lists (a
// record only ever grows at its end), so the record itself holds the pair's
// values, and the envelope pass checks them there before it trusts an entry;
// as an entry keeps both lengths, a record that begins with the pair shows
// that the entry stands for exactly this pair. One open table of 16-byte
// entries; entries are only ever added or given a new record.
class ValuePairIndex {
public:
    [[nodiscard]] bool empty() const { return used_ == 0; }
    [[nodiscard]] std::size_t size() const { return used_; }

    // The first record entered under this fingerprint for which `matches`
    // holds (more than one only when different pairs share it), or -1.
    template <typename Matches>
    [[nodiscard]] int32_t find(const ValuePairKey& key, Matches matches) const {
        if (slots_.empty()) return -1;
        const uint32_t tag = tagOf(key);
        for (std::size_t i = home(key);; i = (i + 1) & (slots_.size() - 1)) {
            const Slot& slot = slots_[i];
            if (slot.record < 0) return -1;
            if (slot.holds(tag, key) && matches(slot.record)) return slot.record;
        }
    }

    // Enters `record` for the pair with this fingerprint. `samePair` tells
    // whether an entry already there (given its record) stands for the same
    // pair; that entry is then replaced.
    template <typename SamePair>
    void set(const ValuePairKey& key, int32_t record, SamePair samePair) {
        if (4 * (used_ + 1) > 3 * slots_.size()) grow();
        const uint32_t tag = tagOf(key);
        for (std::size_t i = home(key);; i = (i + 1) & (slots_.size() - 1)) {
            Slot& slot = slots_[i];
            if (slot.record < 0) {
                slot = Slot{tag, record, key.emLength, key.enLength};
                ++used_;
                return;
            }
            if (slot.holds(tag, key) && samePair(slot.record)) {
                slot.record = record;
                return;
            }
        }
    }

    // The record of a pair, found by fingerprint alone (for inspection);
    // throws std::out_of_range when there is none.
    [[nodiscard]] int32_t at(const ValuePair& pair) const;

private:
    struct Slot {
        uint32_t tag = 0;  // the hash's upper half, which also places the entry
        int32_t record = -1;  // -1: free
        uint32_t emLength = 0;
        uint32_t enLength = 0;
        [[nodiscard]] bool holds(uint32_t t, const ValuePairKey& key) const {
            return tag == t && emLength == key.emLength && enLength == key.enLength;
        }
    };

    static uint32_t tagOf(const ValuePairKey& key) { return static_cast<uint32_t>(key.hash >> 32); }
    [[nodiscard]] std::size_t homeOf(uint32_t tag) const { return std::size_t{tag} & (slots_.size() - 1); }
    [[nodiscard]] std::size_t home(const ValuePairKey& key) const { return homeOf(tagOf(key)); }
    void grow();

    BulkList<Slot> slots_;
    std::size_t used_ = 0;
};

}  // namespace tonequill
