#include "envelope/record_index.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace tonequill {
namespace {

// -1, 0 or 1 as `a` sorts before, with or after `b`; a list sorts before its
// own continuations.
int compareLists(const int32_t* a, std::size_t aLength, const int32_t* b, std::size_t bLength) {
    const std::size_t common = std::min(aLength, bLength);
    std::size_t from = 0;
    // Most lists part within their first few values: compare those one by one.
    constexpr std::size_t kFirst = 16;
    for (const std::size_t to = std::min(common, kFirst); from < to; ++from) {
        if (a[from] != b[from]) return a[from] < b[from] ? -1 : 1;
    }
    // Lists that share long beginnings (held bends, silent parts): skip equal
    // blocks with memcmp, then find the first difference in the block.
    constexpr std::size_t kBlock = 32;
    while (from + kBlock <= common && std::memcmp(a + from, b + from, kBlock * sizeof(int32_t)) == 0) from += kBlock;
    const std::size_t to = std::min(common, from + kBlock);
    const auto [x, y] = std::mismatch(a + from, a + to, b + from);
    if (x != a + to) return *x < *y ? -1 : 1;
    // No difference in the last block: it ended the common part.
    if (aLength == bLength) return 0;
    return aLength < bLength ? -1 : 1;
}

ListEntry entryOf(const std::vector<int32_t>& values, int32_t record) {
    ListEntry entry{values.data(), static_cast<uint32_t>(values.size()), record};
    std::copy_n(values.begin(), std::min(values.size(), ListEntry::kHead), entry.head);
    return entry;
}

// compareLists on an entry and a list, the entry's first values read from the entry.
int compareEntry(const ListEntry& a, const int32_t* b, std::size_t bLength) {
    const std::size_t inHead = std::min({std::size_t{a.length}, bLength, ListEntry::kHead});
    for (std::size_t i = 0; i < inHead; ++i) {
        if (a.head[i] != b[i]) return a.head[i] < b[i] ? -1 : 1;
    }
    if (inHead < ListEntry::kHead) {  // one of the lists has ended
        if (a.length == bLength) return 0;
        return a.length < bLength ? -1 : 1;
    }
    return compareLists(a.values + inHead, a.length - inHead, b + inHead, bLength - inHead);
}

int compareEntries(const ListEntry& a, const ListEntry& b) {
    const std::size_t inHead = std::min({std::size_t{a.length}, std::size_t{b.length}, ListEntry::kHead});
    for (std::size_t i = 0; i < inHead; ++i) {
        if (a.head[i] != b.head[i]) return a.head[i] < b.head[i] ? -1 : 1;
    }
    if (inHead < ListEntry::kHead) {
        if (a.length == b.length) return 0;
        return a.length < b.length ? -1 : 1;
    }
    return compareLists(a.values + inHead, a.length - inHead, b.values + inHead, b.length - inHead);
}

uint64_t mix(uint64_t hash, uint64_t value) {
    hash ^= value + 0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2);
    return hash * 0xBF58476D1CE4E5B9ull;
}

}  // namespace

bool ListEntryOrder::operator()(const ListEntry& a, const ListEntry& b) const {
    const int order = compareEntries(a, b);
    return order < 0 || (order == 0 && a.record < b.record);
}

bool ListEntryOrder::operator()(const ListEntry& a, const std::vector<int32_t>* list) const {
    return compareEntry(a, list->data(), list->size()) < 0;
}

bool ListEntryOrder::operator()(const std::vector<int32_t>* list, const ListEntry& a) const {
    return compareEntry(a, list->data(), list->size()) > 0;
}

bool isValueRecord(const EnvelopeRecord& r) { return !r.emVerbatim && !r.enVerbatim; }

bool isEmTokenRecord(const EnvelopeRecord& r) { return r.emVerbatim && r.hasEmo && !r.plusPb && !r.hasAp; }

bool isEnTokenRecord(const EnvelopeRecord& r) { return r.enVerbatim && r.hasAp && !r.apWithEm; }

uint64_t tokenHash(const std::vector<std::string>& tokens) {
    uint64_t hash = tokens.size();
    for (const std::string& token : tokens) hash = mix(hash, std::hash<std::string>{}(token));
    return hash;
}

uint64_t tokenHash(const std::vector<std::string>& tokens, const std::string& apText) {
    return mix(tokenHash(tokens), std::hash<std::string>{}(apText));
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
    byEm_.erase(entryOf(r.emValues, record));
    byEn_.erase(entryOf(r.enValues, record));
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

void RecordIndex::takeInAppended(const ListKey& em, const ListKey& en) {
    const auto record = static_cast<int32_t>(seen_);
    slots_.resize(records_->size());
    ++seen_;
    add(record, em, en);
}

void RecordIndex::add(int32_t record, const ListKey& em, const ListKey& en) {
    const EnvelopeRecord& r = (*records_)[static_cast<std::size_t>(record)];
    // Searches always bring lists of at least one value; a record with an
    // empty list can never match them.
    if (r.emValues.empty() || r.enValues.empty()) return;
    Slot& slot = slots_[static_cast<std::size_t>(record)];
    slot.em = em;
    slot.en = en;
    slot.indexed = true;
    byEm_.insert(entryOf(r.emValues, record));
    byEn_.insert(entryOf(r.enValues, record));
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
