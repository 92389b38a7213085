#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "envelope/envelope_record.h"
#include "envelope/value_pair_index.h"

namespace tonequill {

class RecordIndex;

// Orders value records by one of their lists, value by value (a list before
// its own continuations), then by record index. A bare list can be looked up
// among them too.
struct RecordListOrder {
    using is_transparent = void;
    const RecordIndex* index = nullptr;
    bool en = false;  // false: by Em values, true: by En values

    [[nodiscard]] const std::vector<int32_t>& listOf(int32_t record) const;
    bool operator()(int32_t a, int32_t b) const;
    bool operator()(int32_t a, const std::vector<int32_t>* list) const;
    bool operator()(const std::vector<int32_t>* list, int32_t a) const;
};

// Finds envelope records by their content without walking the whole table:
// value records by their lists (sorted, and grouped by exact list), token
// records by their tokens. It is built from the records themselves and only
// ever describes them: records appended by anyone are taken in on the next
// search, and a copy starts empty and takes in the whole table again.
class RecordIndex {
public:
    RecordIndex() = default;
    RecordIndex(const RecordIndex&) : RecordIndex() {}
    RecordIndex(RecordIndex&&) noexcept : RecordIndex() {}
    RecordIndex& operator=(const RecordIndex&);
    RecordIndex& operator=(RecordIndex&&) noexcept;
    ~RecordIndex() = default;

    // Points the index at the table and takes in every record added since.
    void attach(const std::vector<EnvelopeRecord>& records);

    // A value record leaves the index before its lists change and comes back
    // after; a record that cannot match anything (an empty list) stays out.
    void remove(int32_t record);
    void add(int32_t record);

    [[nodiscard]] const std::vector<EnvelopeRecord>& records() const { return *records_; }
    [[nodiscard]] ListKey emKey(int32_t record) const { return slots_[static_cast<std::size_t>(record)].em; }
    [[nodiscard]] ListKey enKey(int32_t record) const { return slots_[static_cast<std::size_t>(record)].en; }

    using ByList = std::set<int32_t, RecordListOrder>;
    using Classes = std::unordered_map<ListKey, std::vector<int32_t>, ListKeyHash>;
    using Lengths = std::map<uint32_t, uint32_t>;  // list length -> value records with it

    [[nodiscard]] const ByList& byList(bool en) const { return en ? byEn_ : byEm_; }
    [[nodiscard]] const Classes& classes(bool en) const { return en ? enClasses_ : emClasses_; }
    [[nodiscard]] const Lengths& lengths(bool en) const { return en ? enLengths_ : emLengths_; }

    // Records that the token searches may return, by a hash of what they
    // compare, in table order.
    [[nodiscard]] const std::vector<int32_t>* emTokenRecords(uint64_t hash) const;
    [[nodiscard]] const std::vector<int32_t>* enTokenRecords(uint64_t hash) const;

private:
    struct Slot {
        ListKey em;
        ListKey en;
        uint32_t emPosition = 0;  // place in its Em class
        uint32_t enPosition = 0;
        bool indexed = false;
    };

    void clear();
    void takeIn(int32_t record);
    void leaveClass(Classes& classes, const ListKey& key, int32_t record, bool en);
    void enterClass(Classes& classes, const ListKey& key, int32_t record, bool en);

    const std::vector<EnvelopeRecord>* records_ = nullptr;
    std::size_t seen_ = 0;
    std::vector<Slot> slots_;
    ByList byEm_{RecordListOrder{this, false}};
    ByList byEn_{RecordListOrder{this, true}};
    Classes emClasses_;
    Classes enClasses_;
    Lengths emLengths_;
    Lengths enLengths_;
    std::unordered_map<uint64_t, std::vector<int32_t>> emTokenRecords_;
    std::unordered_map<uint64_t, std::vector<int32_t>> enTokenRecords_;
};

// Hashes of what the token searches compare.
uint64_t tokenHash(const std::vector<std::string>& tokens);
uint64_t tokenHash(const std::vector<std::string>& tokens, const std::string& apText);

// The predicates of the token searches: a record they may return.
bool isEmTokenRecord(const EnvelopeRecord& r);
bool isEnTokenRecord(const EnvelopeRecord& r);
bool isValueRecord(const EnvelopeRecord& r);

}  // namespace tonequill
