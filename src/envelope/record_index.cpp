#include "envelope/record_index.h"

#include <algorithm>
#include <functional>

namespace tonequill {
namespace {

// -1, 0 or 1 as `a` sorts before, with or after `b`; a list sorts before its
// own continuations.
int compareLists(const std::vector<int32_t>& a, const std::vector<int32_t>& b) {
    const std::size_t common = std::min(a.size(), b.size());
    const auto [x, y] = std::mismatch(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(common), b.begin());
    if (x != a.begin() + static_cast<std::ptrdiff_t>(common)) return *x < *y ? -1 : 1;
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

uint64_t mix(uint64_t hash, uint64_t value) {
    hash ^= value + 0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2);
    return hash * 0xBF58476D1CE4E5B9ull;
}

}  // namespace

const std::vector<int32_t>& RecordListOrder::listOf(int32_t record) const {
    const EnvelopeRecord& r = index->records()[static_cast<std::size_t>(record)];
    return en ? r.enValues : r.emValues;
}

bool RecordListOrder::operator()(int32_t a, int32_t b) const {
    const int order = compareLists(listOf(a), listOf(b));
    return order < 0 || (order == 0 && a < b);
}

bool RecordListOrder::operator()(int32_t a, const std::vector<int32_t>* list) const {
    return compareLists(listOf(a), *list) < 0;
}

bool RecordListOrder::operator()(const std::vector<int32_t>* list, int32_t a) const {
    return compareLists(*list, listOf(a)) < 0;
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
    const auto found = classes.find(key);
    std::vector<int32_t>& members = found->second;
    Slot& slot = slots_[static_cast<std::size_t>(record)];
    const uint32_t position = en ? slot.enPosition : slot.emPosition;
    const int32_t last = members.back();
    members[position] = last;
    (en ? slots_[static_cast<std::size_t>(last)].enPosition : slots_[static_cast<std::size_t>(last)].emPosition) =
        position;
    members.pop_back();
    if (members.empty()) classes.erase(found);
}

void RecordIndex::enterClass(Classes& classes, const ListKey& key, int32_t record, bool en) {
    std::vector<int32_t>& members = classes[key];
    Slot& slot = slots_[static_cast<std::size_t>(record)];
    (en ? slot.enPosition : slot.emPosition) = static_cast<uint32_t>(members.size());
    members.push_back(record);
}

void RecordIndex::remove(int32_t record) {
    Slot& slot = slots_[static_cast<std::size_t>(record)];
    if (!slot.indexed) return;
    byEm_.erase(record);
    byEn_.erase(record);
    leaveClass(emClasses_, slot.em, record, false);
    leaveClass(enClasses_, slot.en, record, true);
    for (auto [lengths, length] : {std::pair{&emLengths_, slot.em.length}, std::pair{&enLengths_, slot.en.length}}) {
        const auto count = lengths->find(length);
        if (--count->second == 0) lengths->erase(count);
    }
    slot.indexed = false;
}

void RecordIndex::add(int32_t record) {
    const EnvelopeRecord& r = (*records_)[static_cast<std::size_t>(record)];
    // Searches always bring lists of at least one value; a record with an
    // empty list can never match them.
    if (r.emValues.empty() || r.enValues.empty()) return;
    Slot& slot = slots_[static_cast<std::size_t>(record)];
    slot.em = listKey(r.emValues);
    slot.en = listKey(r.enValues);
    slot.indexed = true;
    byEm_.insert(record);
    byEn_.insert(record);
    enterClass(emClasses_, slot.em, record, false);
    enterClass(enClasses_, slot.en, record, true);
    ++emLengths_[slot.em.length];
    ++enLengths_[slot.en.length];
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
