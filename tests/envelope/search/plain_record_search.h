#pragma once

// The record searches read literally: every record walked in table order,
// pairs kept as copies. Tests hold the indexed searches against these.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "common/envelope_record.h"
#include "envelope/pitch_values.h"
#include "envelope/search/value_pair_index.h"
#include "envelope/value_list.h"
#include "mapping/mapping_tables.h"

namespace tonequill::testing {

using Values = std::vector<int32_t>;

struct PlainTable {
    std::vector<EnvelopeRecord> records;
    std::map<ValuePair, int32_t> pairs;
};

inline bool beginsWith(ValueSpan whole, ValueSpan part) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

// A record's lists as plain lists, whatever list type the record keeps.
inline Values plain(ValueSpan values) { return Values(values.begin(), values.end()); }

inline void setValues(EnvelopeRecord& r, const Values& em, const Values& en) {
    r.emValues.assign(em.begin(), em.end());
    r.enValues.assign(en.begin(), en.end());
    r.hasEm = hasNonZero(em);
    r.hasEn = hasNonZero(en);
    r.emVerbatim = false;
    r.enVerbatim = false;
}

// The step that answered a value search.
enum class PlainStep { allZero, known, longer, lengthened, made };

inline int32_t plainValueRecord(PlainTable& t, const Values& em, const Values& en, PlainStep* step = nullptr) {
    PlainStep ignored;
    PlainStep& answered = step != nullptr ? *step : ignored;
    answered = PlainStep::allZero;
    if (!hasNonZero(em) && !hasNonZero(en)) return -1;
    answered = PlainStep::known;
    if (auto it = t.pairs.find({em, en}); it != t.pairs.end()) return it->second;
    int32_t longer = -1;
    int32_t shorter = -1;
    size_t longerM = 0;
    size_t shorterM = 0;
    for (size_t k = 0; k < t.records.size(); ++k) {
        const EnvelopeRecord& r = t.records[k];
        if (r.emVerbatim || r.enVerbatim) continue;
        const size_t m = std::min(r.emValues.size(), r.enValues.size());
        if (beginsWith(r.emValues, em) && beginsWith(r.enValues, en) && (longer < 0 || m >= longerM)) {
            longer = static_cast<int32_t>(k);
            longerM = m;
        }
    }
    answered = PlainStep::longer;
    if (longer >= 0) return t.pairs[{em, en}] = longer;
    for (size_t k = 0; k < t.records.size(); ++k) {
        const EnvelopeRecord& r = t.records[k];
        if (r.emVerbatim || r.enVerbatim) continue;
        const size_t m = std::min(r.emValues.size(), r.enValues.size());
        if (m >= 1 && beginsWith(em, r.emValues) && beginsWith(en, r.enValues) && (shorter < 0 || m > shorterM)) {
            shorter = static_cast<int32_t>(k);
            shorterM = m;
        }
    }
    answered = PlainStep::lengthened;
    if (shorter >= 0) {
        EnvelopeRecord& r = t.records[static_cast<size_t>(shorter)];
        t.pairs[{plain(r.emValues), plain(r.enValues)}] = shorter;
        setValues(r, em, en);
        return t.pairs[{em, en}] = shorter;
    }
    answered = PlainStep::made;
    EnvelopeRecord fresh;
    setValues(fresh, em, en);
    t.records.push_back(fresh);
    return t.pairs[{em, en}] = static_cast<int32_t>(t.records.size() - 1);
}

inline int32_t plainTokenEm(PlainTable& t, const TokenList& tokens, const std::string& name) {
    for (size_t k = 0; k < t.records.size(); ++k) {
        const EnvelopeRecord& r = t.records[k];
        if (r.emVerbatim && r.hasEmo && !r.plusPb && !r.hasAp && r.emTokens == tokens) return static_cast<int32_t>(k);
    }
    EnvelopeRecord fresh;
    fresh.hasEm = fresh.emVerbatim = fresh.hasEmo = true;
    fresh.emTokens = tokens;
    fresh.emoName = name;
    t.records.push_back(fresh);
    return static_cast<int32_t>(t.records.size() - 1);
}

inline int32_t plainTokenEn(PlainTable& t, const TokenList& tokens, const std::string& apText) {
    for (size_t k = 0; k < t.records.size(); ++k) {
        const EnvelopeRecord& r = t.records[k];
        if (r.enVerbatim && r.hasAp && !r.apWithEm && r.apText == apText && r.enTokens.spelled() == tokens) {
            return static_cast<int32_t>(k);
        }
    }
    EnvelopeRecord fresh;
    fresh.hasEn = fresh.enVerbatim = fresh.hasAp = true;
    fresh.enTokens = TokenRuns::of(tokens);
    fresh.apText = apText;
    t.records.push_back(fresh);
    return static_cast<int32_t>(t.records.size() - 1);
}

inline bool sameRecord(const EnvelopeRecord& a, const EnvelopeRecord& b) {
    return a.emValues == b.emValues && a.enValues == b.enValues && a.emTokens == b.emTokens &&
           a.enTokens == b.enTokens && a.hasEm == b.hasEm && a.hasEn == b.hasEn && a.emVerbatim == b.emVerbatim &&
           a.enVerbatim == b.enVerbatim && a.hasEmo == b.hasEmo && a.plusPb == b.plusPb && a.emoName == b.emoName &&
           a.hasAp == b.hasAp && a.apWithEm == b.apWithEm && a.apText == b.apText;
}

}  // namespace tonequill::testing
