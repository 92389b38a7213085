#include "envelope/search/value_pair_index.h"

#include <cstring>
#include <stdexcept>

namespace tonequill {

namespace {

constexpr uint64_t kMultiplier1 = 0x87C37B91114253D5ull;
constexpr uint64_t kMultiplier2 = 0x4CF5AD432745937Full;

uint64_t rotateLeft(uint64_t x, int bits) { return (x << bits) | (x >> (64 - bits)); }

uint64_t mix(uint64_t hash, uint64_t word) { return rotateLeft(hash ^ (word * kMultiplier1), 29) * kMultiplier2; }

// Two values a step. A long list is taken eight values at a time by four
// hashes, each of every fourth pair, which are then mixed into one: each
// hash waits on its own multiply, so four are under way at once.
uint64_t hashValues(uint64_t hash, const int32_t* values, std::size_t length, bool& nonZero) {
    uint64_t any = 0;
    std::size_t i = 0;
    if (length >= 8) {
        uint64_t lanes[4] = {hash, ~hash, rotateLeft(hash, 21), rotateLeft(~hash, 43)};
        for (; i + 8 <= length; i += 8) {
            for (std::size_t k = 0; k < 4; ++k) {
                uint64_t word = 0;
                std::memcpy(&word, values + i + 2 * k, sizeof word);
                any |= word;
                lanes[k] = mix(lanes[k], word);
            }
        }
        hash = mix(mix(mix(lanes[0], lanes[1]), lanes[2]), lanes[3]);
    }
    for (; i + 2 <= length; i += 2) {
        uint64_t word = 0;
        std::memcpy(&word, values + i, sizeof word);
        any |= word;
        hash = mix(hash, word);
    }
    if (i < length) {
        any |= static_cast<uint32_t>(values[i]);
        hash = mix(hash, static_cast<uint32_t>(values[i]));
    }
    nonZero = any != 0;
    return hash;
}

uint64_t finish(uint64_t h) {
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return h;
}

}  // namespace

ValuePairFacts valuePairFacts(const int32_t* em, std::size_t emLength, const int32_t* en, std::size_t enLength) {
    ValuePairFacts facts;
    uint64_t hash = hashValues(0x9E3779B97F4A7C15ull, em, emLength, facts.emNonZero);
    // The lengths part the lists, so that moving a value from one to the other changes the hash.
    hash ^= (uint64_t{emLength} << 32 | static_cast<uint32_t>(enLength)) * kMultiplier2;
    hash = hashValues(hash, en, enLength, facts.enNonZero);
    facts.key = ValuePairKey{finish(hash), static_cast<uint32_t>(emLength), static_cast<uint32_t>(enLength)};
    return facts;
}

void ValuePairIndex::grow() {
    BulkList<Slot> old;
    old.swap(slots_);
    slots_.assign(old.empty() ? 64 : 2 * old.size(), Slot{});
    // Order along a probe run does not matter: at most one entry stands for
    // a given pair.
    for (const Slot& slot : old) {
        if (slot.record < 0) continue;
        std::size_t i = homeOf(slot.tag);
        while (slots_[i].record >= 0) i = (i + 1) & (slots_.size() - 1);
        slots_[i] = slot;
    }
}

int32_t ValuePairIndex::at(const ValuePair& pair) const {
    const int32_t found = find(valuePairFacts(pair.first, pair.second).key, [](int32_t) { return true; });
    if (found < 0) throw std::out_of_range("ValuePairIndex::at: no such pair");
    return found;
}

}  // namespace tonequill
