#include "envelope/search/record_search.h"

#include <algorithm>
#include <type_traits>
#include <utility>

namespace tonequill {
namespace {

bool beginsWith(ValueSpan whole, ValueSpan part) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

// Step c read literally, every record in table order, for lists of which one
// is empty (the envelope pass never brings them). Step d never applies to
// them: a record whose list is a beginning of an empty list has an empty list
// itself, so its m is 0.
int32_t longerPlainly(const EnvelopeRecords& records, ValueSpan em, ValueSpan en) {
    int32_t longer = -1;
    size_t longerLength = 0;
    for (size_t k = 0; k < records.size(); ++k) {
        const EnvelopeRecord& r = records[k];
        if (!isValueRecord(r) || !beginsWith(r.emValues, em) || !beginsWith(r.enValues, en)) continue;
        const size_t m = std::min(r.emValues.size(), r.enValues.size());
        if (longer < 0 || m >= longerLength) {
            longer = static_cast<int32_t>(k);
            longerLength = m;
        }
    }
    return longer;
}

int32_t appendRecord(RecordSearch& search, EnvelopeRecord record) {
    search.table.records.push_back(std::move(record));
    return static_cast<int32_t>(search.table.records.size() - 1);
}

// Steps a to e. The lists go into a record that is made or lengthened: moved
// when the caller gave them up (`List` not const), else copied.
template <typename List>
int32_t valueRecord(RecordSearch& search, List& em, List& en) {
    const ValuePairFacts facts = valuePairFacts(em, en);
    if (!facts.emNonZero && !facts.enNonZero) return -1;
    RecordIndex& index = search.recordIndex;
    index.attach(search.table.records);

    // An entry under the same fingerprint stands for a pair when its record
    // begins with the pair's lists: the entry keeps both lengths.
    auto samePair = [&index](const PairPart& e, const PairPart& n) {
        return [&index, e, n](int32_t k) { return index.beginsWith(k, e, n); };
    };
    const ValuePairKey& key = facts.key;
    const PairPart emPart{em.data(), em.size(), !facts.emNonZero};
    const PairPart enPart{en.data(), en.size(), !facts.enNonZero};
    if (const int32_t known = search.valuePairIndex.find(key, samePair(emPart, enPart)); known >= 0) return known;
    auto install = [&](EnvelopeRecord& r) {
        if constexpr (std::is_const_v<List>) {
            r.emValues.assign(em.begin(), em.end());
            r.enValues.assign(en.begin(), en.end());
        } else {
            r.emValues = std::move(em);
            r.enValues = std::move(en);
        }
        r.hasEm = facts.emNonZero;
        r.hasEn = facts.enNonZero;
        r.emVerbatim = false;
        r.enVerbatim = false;
    };
    EnvelopeRecords& records = search.table.records;
    auto enterOwnPair = [&](int32_t k) {
        const EnvelopeRecord& r = records[static_cast<size_t>(k)];
        search.valuePairIndex.set(key, k,
                                  samePair(PairPart{r.emValues.data(), r.emValues.size(), !facts.emNonZero},
                                           PairPart{r.enValues.data(), r.enValues.size(), !facts.enNonZero}));
    };

    const bool walked = !em.empty() && !en.empty();
    int32_t longer = -1;
    int32_t shorter = -1;
    if (walked) {
        index.walk(emPart, enPart);
        longer = index.longer();
        if (longer < 0) shorter = index.shorter();
    } else {
        longer = longerPlainly(records, em, en);
    }

    // A longer record that already sounds like this note at its start.
    if (longer >= 0) {
        search.valuePairIndex.set(key, longer, samePair(emPart, enPart));
        return longer;
    }
    // A shorter record this note's values continue: it grows to them.
    if (shorter >= 0) {
        EnvelopeRecord& r = records[static_cast<size_t>(shorter)];
        const size_t oldEm = r.emValues.size();
        const size_t oldEn = r.enValues.size();
        const ValuePairKey oldKey = valuePairFacts(r.emValues, r.enValues).key;
        install(r);
        index.lengthenedToWalked(shorter);
        // The record now holds the note's lists; both pairs are beginnings of them.
        search.valuePairIndex.set(
            oldKey, shorter, samePair(PairPart{r.emValues.data(), oldEm, false}, PairPart{r.enValues.data(), oldEn, false}));
        enterOwnPair(shorter);
        return shorter;
    }
    // Made in place: a record is large, and moving one costs as much as making it.
    install(records.emplace_back());
    const auto made = static_cast<int32_t>(records.size() - 1);
    if (walked) {
        index.takeInWalked();
    } else {
        index.attach(records);
    }
    enterOwnPair(made);
    return made;
}

}  // namespace

int32_t findValueRecord(RecordSearch& search, ValueSpan em, ValueSpan en) {
    return valueRecord<const ValueSpan>(search, em, en);
}

int32_t findValueRecord(RecordSearch& search, ValueList&& em, ValueList&& en) {
    return valueRecord(search, em, en);
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
