#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
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

// The fingerprint of a list's first values, grown from the start: a value
// at a time or a stretch at a time. The values are dealt round four lanes,
// each a chain of add, rotate and multiply, so that four values are worked on
// at once; the key mixes the lanes with the count. A long note's lists are
// millions of values, and one chain through them all would take a multiply's
// delay per value.
class ListHasher {
public:
    // Takes in values[count()..length) of a list whose first count() values
    // it has taken in already.
    void growTo(const int32_t* values, std::size_t length) { grow<false>(values, length); }
    // The same, giving the bitwise or of the values taken in.
    int32_t growToAndOr(const int32_t* values, std::size_t length) { return grow<true>(values, length); }
    [[nodiscard]] std::size_t count() const { return count_; }
    [[nodiscard]] ListKey key() const {
        uint64_t hash = finish(uint64_t{count_} * 0x9E3779B97F4A7C15ull);
        for (const uint64_t lane : lanes_) hash = finish(hash ^ lane);
        return ListKey{hash, static_cast<uint32_t>(count_)};
    }

private:
    static constexpr std::size_t kLanes = 4;

    template <bool orValues>
    int32_t grow(const int32_t* values, std::size_t length) {
        int32_t any = 0;
        std::size_t i = count_;
        for (; i < length && i % kLanes != 0; ++i) {
            lanes_[i % kLanes] = round(lanes_[i % kLanes], values[i]);
            if constexpr (orValues) any |= values[i];
        }
        for (; i + kLanes <= length; i += kLanes) {
            lanes_[0] = round(lanes_[0], values[i]);
            lanes_[1] = round(lanes_[1], values[i + 1]);
            lanes_[2] = round(lanes_[2], values[i + 2]);
            lanes_[3] = round(lanes_[3], values[i + 3]);
            if constexpr (orValues) any |= values[i] | values[i + 1] | values[i + 2] | values[i + 3];
        }
        for (; i < length; ++i) {
            lanes_[i % kLanes] = round(lanes_[i % kLanes], values[i]);
            if constexpr (orValues) any |= values[i];
        }
        count_ = length;
        return any;
    }
    static uint64_t round(uint64_t lane, int32_t value) {
        lane += (uint64_t{static_cast<uint32_t>(value)} + 1) * 0xC2B2AE3D27D4EB4Full;
        lane = (lane << 31) | (lane >> 33);
        return lane * 0x9E3779B185EBCA87ull;
    }
    static uint64_t finish(uint64_t h) {
        h = (h ^ (h >> 30)) * 0xBF58476D1CE4E5B9ull;
        h = (h ^ (h >> 27)) * 0x94D049BB133111EBull;
        return h ^ (h >> 31);
    }

    uint64_t lanes_[kLanes] = {0x60EA27EEADC0B5D6ull, 0xC2B2AE3D27D4EB4Full, 0x165667B19E3779F9ull,
                               0x61C8864E7A143579ull};
    std::size_t count_ = 0;
};

ListKey listKey(std::span<const int32_t> values);

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

// What the record search needs to know of a pair of lists beforehand: their
// fingerprints and whether each holds a value other than 0, worked out in one
// pass over the values.
struct ValuePairFacts {
    ValuePairKey key;
    bool emNonZero = false;
    bool enNonZero = false;
};
ValuePairFacts valuePairFacts(std::span<const int32_t> em, std::span<const int32_t> en);

struct ValuePairKeyHash {
    std::size_t operator()(const ValuePairKey& key) const {
        uint64_t h = key.em.hash * 0x9E3779B97F4A7C15ull ^ key.en.hash;
        h ^= (uint64_t{key.em.length} << 32 | key.en.length) * 0xBF58476D1CE4E5B9ull;
        return static_cast<std::size_t>(h ^ (h >> 29));
    }
};

// The pairs of value lists (Em values, En values) already answered, each with
// its record. A pair is kept as its fingerprint, never as a copy of its lists:
// every pair entered is the beginning of its record's lists (a record only
// ever grows at its end), so the record itself holds the pair's values, and
// the envelope pass checks them there before it trusts an entry. One open
// table of fingerprints; entries are only ever added or given a new record.
class ValuePairIndex {
public:
    [[nodiscard]] bool empty() const { return used_ == 0; }
    [[nodiscard]] std::size_t size() const { return used_; }

    // The first record entered under this fingerprint for which `matches`
    // holds (more than one only when different pairs share it), or -1.
    template <typename Matches>
    [[nodiscard]] int32_t find(const ValuePairKey& key, Matches matches) const {
        if (slots_.empty()) return -1;
        for (std::size_t i = home(key);; i = (i + 1) & (slots_.size() - 1)) {
            const Slot& slot = slots_[i];
            if (slot.record < 0) return -1;
            if (slot.key == key && matches(slot.record)) return slot.record;
        }
    }

    // Enters `record` for the pair with this fingerprint. `samePair` tells
    // whether an entry already there (given its record) stands for the same
    // pair; that entry is then replaced.
    template <typename SamePair>
    void set(const ValuePairKey& key, int32_t record, SamePair samePair) {
        if (2 * (used_ + 1) > slots_.size()) grow();
        for (std::size_t i = home(key);; i = (i + 1) & (slots_.size() - 1)) {
            Slot& slot = slots_[i];
            if (slot.record < 0) {
                slot = Slot{key, record};
                ++used_;
                return;
            }
            if (slot.key == key && samePair(slot.record)) {
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
        ValuePairKey key;
        int32_t record = -1;  // -1: free
    };

    [[nodiscard]] std::size_t home(const ValuePairKey& key) const {
        return ValuePairKeyHash{}(key) & (slots_.size() - 1);
    }
    void grow();

    std::vector<Slot> slots_;
    std::size_t used_ = 0;
};

}  // namespace tonequill
