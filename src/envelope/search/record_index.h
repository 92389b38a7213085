#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/envelope_record.h"
#include "envelope/search/list_trie.h"

namespace tonequill {

// The first `length` values of a list, and whether they are all 0.
struct PairPart {
    const int32_t* values = nullptr;
    std::size_t length = 0;
    bool allZero = false;
};

// Finds envelope records by their content without walking the whole table:
// value records by their lists (one trie per side), token records by their
// tokens. It is built from the records themselves and only ever describes
// them: records appended by anyone are taken in on the next search, and a
// copy starts empty and takes in the whole table again.
class RecordIndex {
public:
    RecordIndex() = default;
    RecordIndex(const RecordIndex&) : RecordIndex() {}
    RecordIndex(RecordIndex&&) noexcept : RecordIndex() {}
    RecordIndex& operator=(const RecordIndex&);
    RecordIndex& operator=(RecordIndex&&) noexcept;
    ~RecordIndex() = default;

    // Points the index at the table and takes in every record added since.
    void attach(const EnvelopeRecords& records);

    // Whether value record `record`'s lists begin with `em` and `en`, read
    // from the lists as the index holds them.
    [[nodiscard]] bool beginsWith(int32_t record, const PairPart& em, const PairPart& en) const;

    // Steps c and d for two lists of at least one value each. walk() comes
    // first; longer() and shorter() answer from its walks, and so does the
    // change that follows, with no other change to the index between.
    void walk(const PairPart& em, const PairPart& en);
    // The value record whose lists begin with both walked lists, the largest
    // m = min(Em length, En length) winning and the later record on a tie; -1 for none.
    [[nodiscard]] int32_t longer() const;
    // The value record whose lists are beginnings of both walked lists, the
    // largest m winning and the earlier record on a tie; -1 for none.
    [[nodiscard]] int32_t shorter() const;
    // Takes in the record just appended to the table, which holds the walked lists.
    void takeInWalked();
    // Record `record`, shorter()'s answer, now holds the walked lists.
    void lengthenedToWalked(int32_t record);

    // Records that the token searches may return, by a hash of what they
    // compare, in table order.
    [[nodiscard]] const std::vector<int32_t>* emTokenRecords(uint64_t hash) const;
    [[nodiscard]] const std::vector<int32_t>* enTokenRecords(uint64_t hash) const;

private:
    void clear();
    void takeIn(std::size_t record);
    void holdLists(std::size_t record);

    const EnvelopeRecords* records_ = nullptr;
    std::size_t seen_ = 0;
    RecordEndsList ends_;  // per record; lists held for value records only
    ListTrie tries_[2] = {ListTrie(0), ListTrie(1)};
    TrieWalk walks_[2];
    std::unordered_map<uint64_t, std::vector<int32_t>> emTokenRecords_;
    std::unordered_map<uint64_t, std::vector<int32_t>> enTokenRecords_;
};

// Hashes of what the token searches compare.
uint64_t tokenHash(const std::vector<std::string>& tokens);
uint64_t tokenHash(const TokenRuns& tokens, const std::string& apText);

// The predicates of the token searches: a record they may return.
bool isEmTokenRecord(const EnvelopeRecord& r);
bool isEnTokenRecord(const EnvelopeRecord& r);
bool isValueRecord(const EnvelopeRecord& r);

}  // namespace tonequill
