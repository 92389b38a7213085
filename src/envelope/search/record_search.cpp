#include "envelope/search/record_search.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <utility>

#include "envelope/pitch_values.h"

namespace tonequill {
namespace {

// True when `whole` begins with the first `length` values of `part`.
bool beginsWith(ValueSpan whole, const int32_t* part, std::size_t length) {
    return length <= whole.size() && std::equal(part, part + length, whole.begin());
}

bool beginsWith(ValueSpan whole, ValueSpan part) { return beginsWith(whole, part.data(), part.size()); }

size_t shorterLength(const EnvelopeRecord& r) { return std::min(r.emValues.size(), r.enValues.size()); }

// The record a pair was entered for, if it was: an entry's pair is the
// beginning of its record's lists, so the record shows whether the entry
// stands for exactly this pair.
int32_t knownRecord(const RecordSearch& search, const ValuePairKey& key, ValueSpan em,
                    ValueSpan en) {
    return search.valuePairIndex.find(key, [&](int32_t record) {
        const auto k = static_cast<size_t>(record);
        return k < search.table.records.size() && beginsWith(search.table.records[k].emValues, em) &&
               beginsWith(search.table.records[k].enValues, en);
    });
}

// The longer records: value records whose Em values begin with all of `em`
// and whose En values begin with all of `en`; the largest m wins, the later
// record on a tie. The records beginning with `em` lie together in the Em
// order, those beginning with `en` in the En order; the shorter of the two
// runs is walked, checking the other list of each record. When no record
// begins with `em`, `emPlace` is where a record with these Em values would
// go in the Em order.
int32_t longerRecord(const RecordIndex& index, ValueSpan em, ValueSpan en,
                     std::optional<ListOrder::Position>& emPlace) {
    const std::vector<EnvelopeRecord>& records = index.records();
    const RecordIndex::ByList& byEm = index.byList(false);
    const RecordIndex::ByList& byEn = index.byList(true);
    auto beginsWithList = [](const ListEntry& entry, ValueSpan list) {
        return list.size() <= entry.length && std::equal(list.begin(), list.end(), entry.values);
    };
    constexpr int32_t kProbe = std::numeric_limits<int32_t>::min();
    ListOrder::Position emAt = byEm.lowerBound(listEntry(em, kProbe));
    auto emInside = [&] { return !byEm.atEnd(emAt) && beginsWithList(byEm[emAt], em); };
    // Mostly no record begins with the Em values: then the En order is not searched.
    if (!emInside()) {
        emPlace = emAt;
        return -1;
    }
    ListOrder::Position enAt = byEn.lowerBound(listEntry(en, kProbe));
    auto enInside = [&] { return !byEn.atEnd(enAt) && beginsWithList(byEn[enAt], en); };
    std::vector<int32_t> emRun;
    std::vector<int32_t> enRun;
    const std::vector<int32_t>* shorterRun = nullptr;
    bool runIsEm = true;
    while (shorterRun == nullptr) {
        if (!emInside()) {
            shorterRun = &emRun;
        } else {
            emRun.push_back(byEm[emAt].record);
            emAt = byEm.next(emAt);
            if (!enInside()) {
                shorterRun = &enRun;
                runIsEm = false;
            } else {
                enRun.push_back(byEn[enAt].record);
                enAt = byEn.next(enAt);
            }
        }
    }
    int32_t best = -1;
    size_t bestLength = 0;
    for (const int32_t k : *shorterRun) {
        const EnvelopeRecord& r = records[static_cast<size_t>(k)];
        if (!(runIsEm ? beginsWith(r.enValues, en) : beginsWith(r.emValues, em))) continue;
        const size_t m = shorterLength(r);
        if (best < 0 || m > bestLength || (m == bestLength && k > best)) {
            best = k;
            bestLength = m;
        }
    }
    return best;
}

// The value records whose list on one side is exactly a beginning of `values`,
// found class by class at the lengths such records have: the first record of
// each class, with the count of all of them.
struct ShorterSide {
    std::vector<int32_t> classes;
    size_t count = 0;
};

ShorterSide beginningsOf(const RecordIndex& index, ValueSpan values, bool en) {
    ShorterSide side;
    const RecordIndex::Classes& classes = index.classes(en);
    ListHasher hasher;
    for (const uint32_t length : index.lengths(en).ascending()) {
        if (length > values.size()) break;
        hasher.growTo(values.data(), length);
        const ListKey key = hasher.key();
        const int32_t first = classes.first(key);
        if (first < 0) continue;
        side.classes.push_back(first);
        side.count += classes.sizeOf(key);
    }
    return side;
}

// The shorter records: value records whose Em values are a beginning of `em`
// and whose En values a beginning of `en`; the largest m wins, the earlier
// record on a tie. One side is walked, the one with fewer lengths to look at
// (the other too when the first brings many records, and the side with fewer
// records is used); its lists were matched by fingerprint, so the winner is
// checked value by value.
enum class Shorter { none, found, unsure };

Shorter shorterRecord(const RecordIndex& index, ValueSpan em, ValueSpan en,
                      int32_t& best) {
    const std::vector<EnvelopeRecord>& records = index.records();
    const size_t emLengths = index.lengths(false).upTo(em.size());
    const size_t enLengths = index.lengths(true).upTo(en.size());
    bool walkEm = emLengths <= enLengths;
    ShorterSide side = beginningsOf(index, walkEm ? em : en, !walkEm);
    if (side.count > (walkEm ? enLengths : emLengths)) {
        ShorterSide other = beginningsOf(index, walkEm ? en : em, walkEm);
        if (other.count < side.count) {
            side = std::move(other);
            walkEm = !walkEm;
        }
    }
    best = -1;
    size_t bestLength = 0;
    for (const int32_t head : side.classes) {
        for (int32_t k = head; k >= 0; k = index.nextInClass(k, !walkEm)) {
            const EnvelopeRecord& r = records[static_cast<size_t>(k)];
            if (!(walkEm ? beginsWith(en, r.enValues) : beginsWith(em, r.emValues))) continue;
            const size_t m = shorterLength(r);
            if (best < 0 || m > bestLength || (m == bestLength && k < best)) {
                best = k;
                bestLength = m;
            }
        }
    }
    if (best < 0) return Shorter::none;
    const EnvelopeRecord& r = records[static_cast<size_t>(best)];
    return beginsWith(em, r.emValues) && beginsWith(en, r.enValues) ? Shorter::found : Shorter::unsure;
}

// Steps c and d read literally, every record in table order: for lists that
// are empty (the envelope pass never brings them) and for the rare fingerprint
// clash in the shorter-record search.
void searchPlainly(const RecordSearch& search, ValueSpan em, ValueSpan en,
                   int32_t& longer, int32_t& shorter) {
    longer = -1;
    shorter = -1;
    size_t longerLength = 0;
    size_t shorterBest = 0;
    for (size_t k = 0; k < search.table.records.size(); ++k) {
        const EnvelopeRecord& r = search.table.records[k];
        if (!isValueRecord(r)) continue;
        const size_t m = shorterLength(r);
        if (beginsWith(r.emValues, em) && beginsWith(r.enValues, en)) {
            if (longer < 0 || m >= longerLength) {
                longer = static_cast<int32_t>(k);
                longerLength = m;
            }
        } else if (m >= 1 && beginsWith(em, r.emValues) && beginsWith(en, r.enValues)) {
            if (shorter < 0 || m > shorterBest) {
                shorter = static_cast<int32_t>(k);
                shorterBest = m;
            }
        }
    }
}

int32_t appendRecord(RecordSearch& search, EnvelopeRecord record) {
    search.table.records.push_back(std::move(record));
    return static_cast<int32_t>(search.table.records.size() - 1);
}

}  // namespace

namespace {

// Steps a to e. The lists go into a record that is made or lengthened by
// `take(record)`, which moves or copies them there; `em` and `en` are not
// read after that.
template <typename Take>
int32_t valueRecord(RecordSearch& search, ValueSpan em, ValueSpan en, Take take) {
    const ValuePairFacts facts = valuePairFacts(em, en);
    if (!facts.emNonZero && !facts.enNonZero) return -1;
    RecordIndex& index = search.recordIndex;
    index.attach(search.table.records);

    const ValuePairKey& key = facts.key;
    if (const int32_t known = knownRecord(search, key, em, en); known >= 0) return known;
    // An entry under the same fingerprint stands for the pair of the first
    // eLength and nLength values of `e` and `n` when its record begins with them.
    auto samePair = [&search](ValueSpan e, size_t eLength, ValueSpan n, size_t nLength) {
        return [&search, e, eLength, n, nLength](int32_t k) {
            const auto at = static_cast<size_t>(k);
            return at < search.table.records.size() && beginsWith(search.table.records[at].emValues, e.data(), eLength) &&
                   beginsWith(search.table.records[at].enValues, n.data(), nLength);
        };
    };
    auto install = [&](EnvelopeRecord& r) {
        take(r);
        r.hasEm = facts.emNonZero;
        r.hasEn = facts.enNonZero;
        r.emVerbatim = false;
        r.enVerbatim = false;
    };

    int32_t longer = -1;
    int32_t shorter = -1;
    std::optional<ListOrder::Position> emPlace;  // a new record's place in the Em order, when known
    if (em.empty() || en.empty()) {
        searchPlainly(search, em, en, longer, shorter);
    } else {
        longer = longerRecord(index, em, en, emPlace);
        if (longer < 0 && shorterRecord(index, em, en, shorter) == Shorter::unsure) {
            searchPlainly(search, em, en, longer, shorter);
        }
    }

    // A longer record that already sounds like this note at its start.
    if (longer >= 0) {
        search.valuePairIndex.set(key, longer, samePair(em, em.size(), en, en.size()));
        return longer;
    }
    // A shorter record this note's values continue: it grows to them.
    if (shorter >= 0) {
        EnvelopeRecord& r = search.table.records[static_cast<size_t>(shorter)];
        const size_t oldEm = r.emValues.size();
        const size_t oldEn = r.enValues.size();
        // The index knows the fingerprints of the record's lists as they stand.
        const ValuePairKey oldKey = index.indexed(shorter)
                                        ? ValuePairKey{index.emKey(shorter), index.enKey(shorter)}
                                        : ValuePairKey{listKey(r.emValues), listKey(r.enValues)};
        index.remove(shorter);
        install(r);
        index.add(shorter, key.em, key.en);
        // The record now holds the note's lists; both pairs are beginnings of them.
        search.valuePairIndex.set(oldKey, shorter, samePair(r.emValues, oldEm, r.enValues, oldEn));
        search.valuePairIndex.set(key, shorter, samePair(r.emValues, r.emValues.size(), r.enValues, r.enValues.size()));
        return shorter;
    }
    EnvelopeRecord fresh;
    install(fresh);
    const int32_t made = appendRecord(search, std::move(fresh));
    index.takeInAppended(key.em, key.en, emPlace ? &*emPlace : nullptr);
    const EnvelopeRecord& r = search.table.records.back();
    search.valuePairIndex.set(key, made, samePair(r.emValues, r.emValues.size(), r.enValues, r.enValues.size()));
    return made;
}

}  // namespace

int32_t findValueRecord(RecordSearch& search, ValueSpan em, ValueSpan en) {
    return valueRecord(search, em, en, [em, en](EnvelopeRecord& r) {
        r.emValues.assign(em.begin(), em.end());
        r.enValues.assign(en.begin(), en.end());
    });
}

int32_t findValueRecord(RecordSearch& search, ValueList&& em, ValueList&& en) {
    return valueRecord(search, em, en, [&em, &en](EnvelopeRecord& r) {
        r.emValues = std::move(em);
        r.enValues = std::move(en);
    });
}

int32_t findTokenEmRecord(RecordSearch& search, const TokenList& tokens, const std::string& name) {
    search.recordIndex.attach(search.table.records);
    if (const auto* sameHash = search.recordIndex.emTokenRecords(tokenHash(tokens))) {
        for (const int32_t k : *sameHash) {
            const EnvelopeRecord& r = search.table.records[static_cast<size_t>(k)];
            if (isEmTokenRecord(r) && r.emTokens == tokens) return k;
        }
    }
    EnvelopeRecord fresh;
    fresh.hasEm = true;
    fresh.emVerbatim = true;
    fresh.hasEmo = true;
    fresh.emTokens = tokens;
    fresh.emoName = name;
    return appendRecord(search, std::move(fresh));
}

int32_t findTokenEnRecord(RecordSearch& search, TokenRuns tokens, const std::string& apText) {
    search.recordIndex.attach(search.table.records);
    if (const auto* sameHash = search.recordIndex.enTokenRecords(tokenHash(tokens, apText))) {
        for (const int32_t k : *sameHash) {
            const EnvelopeRecord& r = search.table.records[static_cast<size_t>(k)];
            if (isEnTokenRecord(r) && r.apText == apText && r.enTokens == tokens) return k;
        }
    }
    EnvelopeRecord fresh;
    fresh.hasEn = true;
    fresh.enVerbatim = true;
    fresh.hasAp = true;
    fresh.enTokens = std::move(tokens);
    fresh.apText = apText;
    return appendRecord(search, std::move(fresh));
}

}  // namespace tonequill
