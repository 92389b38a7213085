#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/envelope_record.h"
#include "envelope/search/list_order.h"
#include "envelope/search/value_pair_index.h"

namespace tonequill {

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
    // The same, with the fingerprints of the record's lists already known,
    // and where known (not null) the record's place in the Em order, as
    // found by a search of its Em values since the last change.
    void add(int32_t record, const ListKey& em, const ListKey& en, const ListOrder::Position* emAt = nullptr);
    // Takes in the value record just appended to the table, its fingerprints known.
    void takeInAppended(const ListKey& em, const ListKey& en, const ListOrder::Position* emAt = nullptr);

    [[nodiscard]] const std::vector<EnvelopeRecord>& records() const { return *records_; }
    // The fingerprints of an indexed record's lists.
    [[nodiscard]] bool indexed(int32_t record) const { return slots_[static_cast<std::size_t>(record)].indexed; }
    [[nodiscard]] ListKey emKey(int32_t record) const { return slots_[static_cast<std::size_t>(record)].em; }
    [[nodiscard]] ListKey enKey(int32_t record) const { return slots_[static_cast<std::size_t>(record)].en; }

    using ByList = ListOrder;

    // The value records grouped by one of their lists exactly (by its
    // fingerprint): one open table of groups, each the head of a list of its
    // records threaded through the records' slots.
    class Classes {
    public:
        // The first record of the group with this fingerprint, or -1.
        [[nodiscard]] int32_t first(const ListKey& key) const;
        [[nodiscard]] std::size_t sizeOf(const ListKey& key) const;
        void clear();

    private:
        friend class RecordIndex;
        struct Group {
            ListKey key;
            int32_t head = -1;
            uint32_t count = 0;
            bool used = false;  // a group emptied keeps its place
        };
        [[nodiscard]] const Group* find(const ListKey& key) const;
        Group& findOrAdd(const ListKey& key);
        void grow();

        std::vector<Group> groups_;
        std::size_t used_ = 0;
    };
    // The next record of the same group, or -1.
    [[nodiscard]] int32_t nextInClass(int32_t record, bool en) const {
        const Slot& slot = slots_[static_cast<std::size_t>(record)];
        return en ? slot.enNext : slot.emNext;
    }
    // The distinct lengths of the value records' lists on one side, ascending.
    class Lengths {
    public:
        void add(uint32_t length);
        void remove(uint32_t length);
        void clear();
        [[nodiscard]] const std::vector<uint32_t>& ascending() const { return lengths_; }
        // How many distinct lengths are at most `limit`.
        [[nodiscard]] std::size_t upTo(std::size_t limit) const;

    private:
        std::vector<uint32_t> lengths_;
        std::vector<uint32_t> counts_;  // value records with each length
    };

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
        int32_t emNext = -1;  // neighbours in its Em class
        int32_t emPrev = -1;
        int32_t enNext = -1;
        int32_t enPrev = -1;
        bool indexed = false;
    };

    void clear();
    void takeIn(int32_t record);
    void leaveClass(Classes& classes, const ListKey& key, int32_t record, bool en);
    void enterClass(Classes& classes, const ListKey& key, int32_t record, bool en);

    const std::vector<EnvelopeRecord>* records_ = nullptr;
    std::size_t seen_ = 0;
    std::vector<Slot> slots_;
    ByList byEm_;
    ByList byEn_;
    Classes emClasses_;
    Classes enClasses_;
    Lengths emLengths_;
    Lengths enLengths_;
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
