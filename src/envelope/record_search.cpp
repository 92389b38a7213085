#include "envelope/record_search.h"

#include <algorithm>

#include "envelope/pitch_values.h"

namespace tonequill {
namespace {

bool isValueRecord(const EnvelopeRecord& r) { return !r.emVerbatim && !r.enVerbatim; }

// True when `whole` begins with all of `part`.
bool beginsWith(const std::vector<int32_t>& whole, const std::vector<int32_t>& part) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

size_t shorterLength(const EnvelopeRecord& r) { return std::min(r.emValues.size(), r.enValues.size()); }

int32_t appendRecord(MappingTables& tables, EnvelopeRecord record) {
    tables.records.push_back(std::move(record));
    return static_cast<int32_t>(tables.records.size() - 1);
}

void setValues(EnvelopeRecord& r, const std::vector<int32_t>& em, const std::vector<int32_t>& en) {
    r.emValues = em;
    r.enValues = en;
    r.hasEm = hasNonZero(em);
    r.hasEn = hasNonZero(en);
    r.emVerbatim = false;
    r.enVerbatim = false;
}

}  // namespace

int32_t findValueRecord(MappingTables& tables, const std::vector<int32_t>& em, const std::vector<int32_t>& en) {
    if (!hasNonZero(em) && !hasNonZero(en)) return -1;
    ValuePair pair{em, en};
    if (const auto known = tables.valuePairIndex.find(pair); known != tables.valuePairIndex.end()) {
        return known->second;
    }

    // A longer record that already sounds like this note at its start.
    int32_t longer = -1;
    size_t longerLength = 0;
    // A shorter record this note's values continue.
    int32_t shorter = -1;
    size_t shorterBest = 0;
    for (size_t k = 0; k < tables.records.size(); ++k) {
        const EnvelopeRecord& r = tables.records[k];
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

    if (longer >= 0) {
        tables.valuePairIndex[std::move(pair)] = longer;
        return longer;
    }
    if (shorter >= 0) {
        EnvelopeRecord& r = tables.records[static_cast<size_t>(shorter)];
        ValuePair oldPair{std::move(r.emValues), std::move(r.enValues)};
        setValues(r, em, en);
        tables.valuePairIndex[std::move(oldPair)] = shorter;
        tables.valuePairIndex[std::move(pair)] = shorter;
        return shorter;
    }
    EnvelopeRecord fresh;
    setValues(fresh, em, en);
    const int32_t index = appendRecord(tables, std::move(fresh));
    tables.valuePairIndex[std::move(pair)] = index;
    return index;
}

int32_t findTokenEmRecord(MappingTables& tables, const TokenList& tokens, const std::string& name) {
    for (size_t k = 0; k < tables.records.size(); ++k) {
        const EnvelopeRecord& r = tables.records[k];
        if (r.emVerbatim && r.hasEmo && !r.plusPb && !r.hasAp && r.emTokens == tokens) return static_cast<int32_t>(k);
    }
    EnvelopeRecord fresh;
    fresh.hasEm = true;
    fresh.emVerbatim = true;
    fresh.hasEmo = true;
    fresh.emTokens = tokens;
    fresh.emoName = name;
    return appendRecord(tables, std::move(fresh));
}

int32_t findTokenEnRecord(MappingTables& tables, const TokenList& tokens, const std::string& apText) {
    for (size_t k = 0; k < tables.records.size(); ++k) {
        const EnvelopeRecord& r = tables.records[k];
        if (r.enVerbatim && r.hasAp && !r.apWithEm && r.apText == apText && r.enTokens == tokens) {
            return static_cast<int32_t>(k);
        }
    }
    EnvelopeRecord fresh;
    fresh.hasEn = true;
    fresh.enVerbatim = true;
    fresh.hasAp = true;
    fresh.enTokens = tokens;
    fresh.apText = apText;
    return appendRecord(tables, std::move(fresh));
}

}  // namespace tonequill
