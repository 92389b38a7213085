// The indexed record searches give the same record, and leave the same table,
// as the searches read literally: every record walked in order.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "envelope/pitch_values.h"
#include "envelope/record_search.h"

namespace tonequill {
namespace {

using Values = std::vector<int32_t>;

struct PlainTable {
    std::vector<EnvelopeRecord> records;
    std::map<ValuePair, int32_t> pairs;
};

bool beginsWith(const Values& whole, const Values& part) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

void setValues(EnvelopeRecord& r, const Values& em, const Values& en) {
    r.emValues = em;
    r.enValues = en;
    r.hasEm = hasNonZero(em);
    r.hasEn = hasNonZero(en);
    r.emVerbatim = false;
    r.enVerbatim = false;
}

int32_t plainValueRecord(PlainTable& t, const Values& em, const Values& en) {
    if (!hasNonZero(em) && !hasNonZero(en)) return -1;
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
    if (shorter >= 0) {
        EnvelopeRecord& r = t.records[static_cast<size_t>(shorter)];
        t.pairs[{r.emValues, r.enValues}] = shorter;
        setValues(r, em, en);
        return t.pairs[{em, en}] = shorter;
    }
    EnvelopeRecord fresh;
    setValues(fresh, em, en);
    t.records.push_back(fresh);
    return t.pairs[{em, en}] = static_cast<int32_t>(t.records.size() - 1);
}

int32_t plainTokenEm(PlainTable& t, const TokenList& tokens, const std::string& name) {
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

int32_t plainTokenEn(PlainTable& t, const TokenList& tokens, const std::string& apText) {
    for (size_t k = 0; k < t.records.size(); ++k) {
        const EnvelopeRecord& r = t.records[k];
        if (r.enVerbatim && r.hasAp && !r.apWithEm && r.apText == apText && r.enTokens == tokens) {
            return static_cast<int32_t>(k);
        }
    }
    EnvelopeRecord fresh;
    fresh.hasEn = fresh.enVerbatim = fresh.hasAp = true;
    fresh.enTokens = tokens;
    fresh.apText = apText;
    t.records.push_back(fresh);
    return static_cast<int32_t>(t.records.size() - 1);
}

bool sameRecord(const EnvelopeRecord& a, const EnvelopeRecord& b) {
    return a.emValues == b.emValues && a.enValues == b.enValues && a.emTokens == b.emTokens &&
           a.enTokens == b.enTokens && a.hasEm == b.hasEm && a.hasEn == b.hasEn && a.emVerbatim == b.emVerbatim &&
           a.enVerbatim == b.enVerbatim && a.hasEmo == b.hasEmo && a.plusPb == b.plusPb && a.emoName == b.emoName &&
           a.hasAp == b.hasAp && a.apWithEm == b.apWithEm && a.apText == b.apText;
}

// Pairs of lists that often begin like each other: a few values from a small
// alphabet, often a pair seen before with each list cut or continued on its own.
class PairMaker {
public:
    explicit PairMaker(uint32_t seed) : random_(seed) {}

    ValuePair make() {
        ValuePair pair;
        if (!seen_.empty() && pick(3) != 0) pair = seen_[pick(seen_.size())];
        reshape(pair.first);
        reshape(pair.second);
        if (pick(5) == 0) pair.second.assign(pair.first.size(), 0);  // a bend that never leaves the fine part
        if (pick(8) == 0) trimTrailingZeros(pair.first);
        seen_.push_back(pair);
        return pair;
    }
    size_t pick(size_t n) { return n == 0 ? 0 : random_() % n; }

private:
    void reshape(Values& values) {
        const size_t length = 1 + pick(pick(2) == 0 ? 4 : 14);
        if (values.size() > length && pick(2) == 0) values.resize(length);
        while (values.size() < length) values.push_back(static_cast<int32_t>(pick(3)) - (pick(5) == 0 ? 1 : 0));
    }

    std::mt19937 random_;
    std::vector<ValuePair> seen_;
};

TEST(RecordSearchIndex, GivesWhatTheLiteralSearchesGiveOnManySequences) {
    const TokenList tokenChoices[] = {{"1", "L", "0"}, {"0", "D", "3"}, {"L", "0", "4", "7"}, {"2"}};
    const std::string names[] = {"32", "64", "E70", "1"};
    for (uint32_t round = 0; round < 400; ++round) {
        PairMaker maker(round);
        MappingTables fast;
        PlainTable plain;
        const size_t calls = 5 + maker.pick(60);
        for (size_t call = 0; call < calls; ++call) {
            const size_t kind = maker.pick(12);
            int32_t got = 0;
            int32_t want = 0;
            if (kind == 0) {
                const TokenList& tokens = tokenChoices[maker.pick(4)];
                const std::string& name = names[maker.pick(4)];
                got = findTokenEmRecord(fast, tokens, name);
                want = plainTokenEm(plain, tokens, name);
            } else if (kind == 1) {
                const TokenList& tokens = tokenChoices[maker.pick(4)];
                const std::string& name = names[maker.pick(4)];
                got = findTokenEnRecord(fast, tokens, name);
                want = plainTokenEn(plain, tokens, name);
            } else {
                const auto [em, en] = maker.make();
                // Half the calls hand their lists over, as the envelope pass does.
                got = maker.pick(2) == 0 ? findValueRecord(fast, em, en) : findValueRecord(fast, Values(em), Values(en));
                want = plainValueRecord(plain, em, en);
                if (got >= 0 && maker.pick(3) == 0) {
                    // A later note labels a shared record, as the envelope pass does.
                    fast.records[static_cast<size_t>(got)].hasEmo = plain.records[static_cast<size_t>(want)].hasEmo =
                        true;
                }
            }
            ASSERT_EQ(got, want) << "round " << round << ", call " << call;
        }
        ASSERT_EQ(fast.records.size(), plain.records.size()) << "round " << round;
        for (size_t k = 0; k < plain.records.size(); ++k) {
            ASSERT_TRUE(sameRecord(fast.records[k], plain.records[k])) << "round " << round << ", record " << k;
        }
        ASSERT_EQ(fast.valuePairIndex.size(), plain.pairs.size()) << "round " << round;
        for (const auto& [pair, record] : plain.pairs) EXPECT_EQ(fast.valuePairIndex.at(pair), record);
    }
}

TEST(RecordSearchIndex, ACopiedTableFindsTheSameRecords) {
    MappingTables tables;
    EXPECT_EQ(findValueRecord(tables, {1, 2, 3}, {0, 0, 0}), 0);
    EXPECT_EQ(findValueRecord(tables, {4}, {1}), 1);
    MappingTables copy = tables;
    EXPECT_EQ(findValueRecord(copy, {1, 2}, {0, 0}), 0);
    EXPECT_EQ(findValueRecord(copy, {4, 5}, {1, 0}), 1);
    EXPECT_EQ(copy.records[1].emValues, (Values{4, 5}));
    EXPECT_EQ(tables.records[1].emValues, (Values{4}));
}

TEST(RecordSearchIndex, ALongListIsFoundAgainWithoutCopiesOfIt) {
    // One held bend over a ten-minute note, then the same note cut short.
    MappingTables tables;
    const Values held(36000, 5);
    const Values zeros(36000, 0);
    EXPECT_EQ(findValueRecord(tables, held, zeros), 0);
    EXPECT_EQ(findValueRecord(tables, Values(100, 5), Values(100, 0)), 0);
    EXPECT_EQ(findValueRecord(tables, held, zeros), 0);
    EXPECT_EQ(tables.records.size(), 1u);
}

}  // namespace
}  // namespace tonequill
