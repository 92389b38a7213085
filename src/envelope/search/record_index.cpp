#include "envelope/search/record_index.h"

#include <algorithm>
#include <functional>
#include <span>

namespace tonequill {
namespace {

uint64_t mix(uint64_t hash, uint64_t value) {
    hash ^= value + 0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2);
    return hash * 0xBF58476D1CE4E5B9ull;
}

uint32_t shorterLength(const RecordEnds& e) { return std::min(e.side[0].length, e.side[1].length); }

void holdList(ListEnd& end, std::span<const int32_t> values) {
    end.values = values.data();
    end.length = static_cast<uint32_t>(values.size());
    end.zeros = static_cast<uint32_t>(std::find_if(values.begin(), values.end(), [](int32_t v) { return v != 0; }) -
                                      values.begin());
}

// Whether `list` begins with the first `length` values of `part`; `partZero`
// tells that those are all 0, which the list's run of zeros answers alone.
bool listBeginsWith(const ListEnd& list, const int32_t* part, std::size_t length, bool partZero) {
    if (length > list.length) return false;
    if (partZero) return length <= list.zeros;
    return std::equal(part, part + length, list.values);
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
    ends_.clear();
    for (ListTrie& trie : tries_) trie.clear();
    emTokenRecords_.clear();
    enTokenRecords_.clear();
}

void RecordIndex::attach(const EnvelopeRecords& records) {
    if (records_ != &records || records.size() < seen_) {
        // Another table, or one that lost records: describe it afresh.
        clear();
        records_ = &records;
    }
    if (seen_ == records.size()) return;
    ends_.resize(records.size());
    for (; seen_ < records.size(); ++seen_) takeIn(seen_);
}

void RecordIndex::holdLists(std::size_t record) {
    const EnvelopeRecord& r = (*records_)[record];
    holdList(ends_[record].side[0], r.emValues);
    holdList(ends_[record].side[1], r.enValues);
}

void RecordIndex::takeIn(std::size_t record) {
    const EnvelopeRecord& r = (*records_)[record];
    if (isValueRecord(r)) {
        holdLists(record);
        // Searches through the tries always bring lists of at least one
        // value; a record with an empty list can never be their answer.
        if (!r.emValues.empty() && !r.enValues.empty()) {
            for (int side = 0; side < 2; ++side) {
                const ListEnd& end = ends_[record].side[side];
                tries_[side].walk(walks_[side], end.values, end.length, end.zeros == end.length);
                tries_[side].place(walks_[side], static_cast<int32_t>(record), ends_, nullptr);
            }
        }
    }
    if (isEmTokenRecord(r)) emTokenRecords_[tokenHash(r.emTokens)].push_back(static_cast<int32_t>(record));
    if (isEnTokenRecord(r)) enTokenRecords_[tokenHash(r.enTokens, r.apText)].push_back(static_cast<int32_t>(record));
}

bool RecordIndex::beginsWith(int32_t record, const PairPart& em, const PairPart& en) const {
    const auto k = static_cast<std::size_t>(record);
    if (record < 0 || k >= seen_) return false;
    const RecordEnds& e = ends_[k];
    return listBeginsWith(e.side[0], em.values, em.length, em.allZero) &&
           listBeginsWith(e.side[1], en.values, en.length, en.allZero);
}

void RecordIndex::walk(const PairPart& em, const PairPart& en) {
    tries_[0].walk(walks_[0], em.values, static_cast<uint32_t>(em.length), em.allZero);
    tries_[1].walk(walks_[1], en.values, static_cast<uint32_t>(en.length), en.allZero);
}

int32_t RecordIndex::longer() const {
    const uint32_t emBelow = tries_[0].beginningOf(walks_[0]);
    if (emBelow == kNoNode) return -1;
    const uint32_t enBelow = tries_[1].beginningOf(walks_[1]);
    if (enBelow == kNoNode) return -1;
    // The records below one of the two nodes, the fewer, each checked for the other list.
    const int side = tries_[0].countBelow(emBelow) <= tries_[1].countBelow(enBelow) ? 0 : 1;
    const TrieWalk& other = walks_[1 - side];
    int32_t best = -1;
    uint32_t bestLength = 0;
    tries_[side].forEachBelow(side == 0 ? emBelow : enBelow, ends_, [&](int32_t k) {
        const RecordEnds& e = ends_[static_cast<std::size_t>(k)];
        if (!listBeginsWith(e.side[1 - side], other.values, other.length, other.allZero)) return;
        const uint32_t m = shorterLength(e);
        if (best < 0 || m > bestLength || (m == bestLength && k > best)) {
            best = k;
            bestLength = m;
        }
    });
    return best;
}

int32_t RecordIndex::shorter() const {
    // The records ending on one walk's path, those of the side with fewer,
    // each checked for ending on the other walk's path.
    std::size_t counts[2] = {0, 0};
    for (int side = 0; side < 2; ++side) {
        for (const uint32_t node : walks_[side].path) counts[side] += tries_[side].countAt(node);
    }
    const int side = counts[0] <= counts[1] ? 0 : 1;
    const TrieWalk& other = walks_[1 - side];
    int32_t best = -1;
    uint32_t bestLength = 0;
    for (const uint32_t node : walks_[side].path) {
        for (int32_t k = tries_[side].firstAt(node); k >= 0; k = ends_[static_cast<std::size_t>(k)].side[side].next) {
            const RecordEnds& e = ends_[static_cast<std::size_t>(k)];
            const ListEnd& list = e.side[1 - side];
            if (!other.passes(list.node, list.length)) continue;
            const uint32_t m = shorterLength(e);
            if (best < 0 || m > bestLength || (m == bestLength && k < best)) {
                best = k;
                bestLength = m;
            }
        }
    }
    return best;
}

void RecordIndex::takeInWalked() {
    const std::size_t record = seen_;
    ends_.resize(records_->size());
    holdLists(record);
    for (int side = 0; side < 2; ++side) tries_[side].place(walks_[side], static_cast<int32_t>(record), ends_, nullptr);
    ++seen_;
}

void RecordIndex::lengthenedToWalked(int32_t record) {
    const auto k = static_cast<std::size_t>(record);
    const int32_t* old[2] = {ends_[k].side[0].values, ends_[k].side[1].values};
    holdLists(k);
    for (int side = 0; side < 2; ++side) tries_[side].place(walks_[side], record, ends_, old[side]);
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
