#include "envelope/search/record_index.h"

#include <algorithm>
#include <functional>

namespace tonequill {
namespace {

uint64_t mix(uint64_t hash, uint64_t value) {
    hash ^= value + 0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2);
    return hash * 0xBF58476D1CE4E5B9ull;
}

}  // namespace

bool isValueRecord(const EnvelopeRecord& r) { return !r.emVerbatim && !r.enVerbatim; }

bool isEmTokenRecord(const EnvelopeRecord& r) { return r.emVerbatim && r.hasEmo && !r.plusPb && !r.hasAp; }

bool isEnTokenRecord(const EnvelopeRecord& r) { return r.enVerbatim && r.hasAp && !r.apWithEm; }

uint64_t tokenHash(const std::vector<std::string>& tokens) {
    uint64_t hash = tokens.size();
    for (const std::string& token : tokens) hash = mix(hash, std::hash<std::string>{}(token));
    return hash;
}

uint64_t tokenHash(const TokenRuns& tokens, const std::string& apText) {
    return mix(tokenRunsHash(tokens), std::hash<std::string>{}(apText));
}

RecordIndex& RecordIndex::operator=(const RecordIndex&) {
    clear();
    return *this;
}

RecordIndex& RecordIndex::operator=(RecordIndex&&) noexcept {
    clear();
    return *this;
}

void RecordIndex::clear() {
    records_ = nullptr;
    seen_ = 0;
    slots_.clear();
    byEm_.clear();
    byEn_.clear();
    emClasses_.clear();
    enClasses_.clear();
    emLengths_.clear();
    enLengths_.clear();
    emTokenRecords_.clear();
    enTokenRecords_.clear();
}

void RecordIndex::attach(const std::vector<EnvelopeRecord>& records) {
    if (records_ != &records || records.size() < seen_) {
        // Another table, or one that lost records: describe it afresh.
        clear();
        records_ = &records;
    }
    slots_.resize(records.size());
    for (; seen_ < records.size(); ++seen_) takeIn(static_cast<int32_t>(seen_));
}

void RecordIndex::takeIn(int32_t record) {
    const EnvelopeRecord& r = (*records_)[static_cast<std::size_t>(record)];
    if (isValueRecord(r)) add(record);
    if (isEmTokenRecord(r)) emTokenRecords_[tokenHash(r.emTokens)].push_back(record);
    if (isEnTokenRecord(r)) enTokenRecords_[tokenHash(r.enTokens, r.apText)].push_back(record);
}

void RecordIndex::leaveClass(Classes& classes, const ListKey& key, int32_t record, bool en) {
    Classes::Group& group = classes.findOrAdd(key);
    Slot& slot = slots_[static_cast<std::size_t>(record)];
    int32_t& next = en ? slot.enNext : slot.emNext;
    int32_t& prev = en ? slot.enPrev : slot.emPrev;
    if (prev >= 0) {
        Slot& before = slots_[static_cast<std::size_t>(prev)];
        (en ? before.enNext : before.emNext) = next;
    } else {
        group.head = next;
    }
    if (next >= 0) {
        Slot& after = slots_[static_cast<std::size_t>(next)];
        (en ? after.enPrev : after.emPrev) = prev;
    }
    next = -1;
    prev = -1;
    --group.count;
}

void RecordIndex::enterClass(Classes& classes, const ListKey& key, int32_t record, bool en) {
    Classes::Group& group = classes.findOrAdd(key);
    Slot& slot = slots_[static_cast<std::size_t>(record)];
    (en ? slot.enNext : slot.emNext) = group.head;
    (en ? slot.enPrev : slot.emPrev) = -1;
    if (group.head >= 0) {
        Slot& after = slots_[static_cast<std::size_t>(group.head)];
        (en ? after.enPrev : after.emPrev) = record;
    }
    group.head = record;
    ++group.count;
}

const RecordIndex::Classes::Group* RecordIndex::Classes::find(const ListKey& key) const {
    if (groups_.empty()) return nullptr;
    const std::size_t mask = groups_.size() - 1;
    for (std::size_t i = ListKeyHash{}(key) & mask;; i = (i + 1) & mask) {
        const Group& group = groups_[i];
        if (!group.used) return nullptr;
        if (group.key == key) return &group;
    }
}

RecordIndex::Classes::Group& RecordIndex::Classes::findOrAdd(const ListKey& key) {
    if (2 * (used_ + 1) > groups_.size()) grow();
    const std::size_t mask = groups_.size() - 1;
    for (std::size_t i = ListKeyHash{}(key) & mask;; i = (i + 1) & mask) {
        Group& group = groups_[i];
        if (group.used && group.key == key) return group;
        if (!group.used) {
            group.used = true;
            group.key = key;
            ++used_;
            return group;
        }
    }
}

void RecordIndex::Classes::grow() {
    std::vector<Group> old = std::move(groups_);
    groups_.assign(old.empty() ? 64 : 2 * old.size(), Group{});
    const std::size_t mask = groups_.size() - 1;
    for (const Group& group : old) {
        if (!group.used) continue;
        std::size_t i = ListKeyHash{}(group.key) & mask;
        while (groups_[i].used) i = (i + 1) & mask;
        groups_[i] = group;
    }
}

int32_t RecordIndex::Classes::first(const ListKey& key) const {
    const Group* group = find(key);
    return group ? group->head : -1;
}

std::size_t RecordIndex::Classes::sizeOf(const ListKey& key) const {
    const Group* group = find(key);
    return group ? group->count : 0;
}

void RecordIndex::Classes::clear() {
    groups_.clear();
    used_ = 0;
}

void RecordIndex::remove(int32_t record) {
    Slot& slot = slots_[static_cast<std::size_t>(record)];
    if (!slot.indexed) return;
    const EnvelopeRecord& r = (*records_)[static_cast<std::size_t>(record)];
    byEm_.erase(listEntry(r.emValues, record));
    byEn_.erase(listEntry(r.enValues, record));
    leaveClass(emClasses_, slot.em, record, false);
    leaveClass(enClasses_, slot.en, record, true);
    emLengths_.remove(slot.em.length);
    enLengths_.remove(slot.en.length);
    slot.indexed = false;
}

void RecordIndex::add(int32_t record) {
    const EnvelopeRecord& r = (*records_)[static_cast<std::size_t>(record)];
    add(record, listKey(r.emValues), listKey(r.enValues));
}

void RecordIndex::takeInAppended(const ListKey& em, const ListKey& en, const ListOrder::Position* emAt) {
    const auto record = static_cast<int32_t>(seen_);
    slots_.resize(records_->size());
    ++seen_;
    add(record, em, en, emAt);
}

void RecordIndex::add(int32_t record, const ListKey& em, const ListKey& en, const ListOrder::Position* emAt) {
    const EnvelopeRecord& r = (*records_)[static_cast<std::size_t>(record)];
    // Searches always bring lists of at least one value; a record with an
    // empty list can never match them.
    if (r.emValues.empty() || r.enValues.empty()) return;
    Slot& slot = slots_[static_cast<std::size_t>(record)];
    slot.em = em;
    slot.en = en;
    slot.indexed = true;
    if (emAt != nullptr) {
        byEm_.insert(listEntry(r.emValues, record), *emAt);
    } else {
        byEm_.insert(listEntry(r.emValues, record));
    }
    byEn_.insert(listEntry(r.enValues, record));
    enterClass(emClasses_, slot.em, record, false);
    enterClass(enClasses_, slot.en, record, true);
    emLengths_.add(slot.em.length);
    enLengths_.add(slot.en.length);
}

void RecordIndex::Lengths::add(uint32_t length) {
    const auto at = std::lower_bound(lengths_.begin(), lengths_.end(), length);
    const auto place = at - lengths_.begin();
    if (at != lengths_.end() && *at == length) {
        ++counts_[static_cast<std::size_t>(place)];
        return;
    }
    lengths_.insert(at, length);
    counts_.insert(counts_.begin() + place, 1);
}

void RecordIndex::Lengths::remove(uint32_t length) {
    const auto at = std::lower_bound(lengths_.begin(), lengths_.end(), length);
    const auto place = at - lengths_.begin();
    if (--counts_[static_cast<std::size_t>(place)] > 0) return;
    lengths_.erase(at);
    counts_.erase(counts_.begin() + place);
}

void RecordIndex::Lengths::clear() {
    lengths_.clear();
    counts_.clear();
}

std::size_t RecordIndex::Lengths::upTo(std::size_t limit) const {
    return static_cast<std::size_t>(std::upper_bound(lengths_.begin(), lengths_.end(), limit,
                                                     [](std::size_t n, uint32_t length) { return n < length; }) -
                                    lengths_.begin());
}

const std::vector<int32_t>* RecordIndex::emTokenRecords(uint64_t hash) const {
    const auto found = emTokenRecords_.find(hash);
    return found == emTokenRecords_.end() ? nullptr : &found->second;
}

const std::vector<int32_t>* RecordIndex::enTokenRecords(uint64_t hash) const {
    const auto found = enTokenRecords_.find(hash);
    return found == enTokenRecords_.end() ? nullptr : &found->second;
}

}  // namespace tonequill
