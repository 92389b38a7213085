// The indexed record searches give the same record, and leave the same table,
// as the searches read literally: every record walked in order.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "envelope/pitch_values.h"
#include "envelope/search/record_search.h"
#include "plain_record_search.h"

namespace tonequill {
namespace {

using testing::PlainStep;
using testing::PlainTable;
using testing::plainTokenEm;
using testing::plainTokenEn;
using testing::plainValueRecord;
using testing::sameRecord;
using Values = std::vector<int32_t>;

// Pairs of lists that often begin like each other: values from a small
// alphabet, often a pair seen before with each list cut or continued on its
// own. Long pairs hold one value for many frames, as a held bend does.
class PairMaker {
public:
    PairMaker(uint32_t seed, bool longLists) : random_(seed), long_(longLists) {}

    ValuePair make() {
        ValuePair pair;
        if (!seen_.empty() && pick(3) != 0) pair = seen_[pick(seen_.size())];
        reshape(pair.first);
        reshape(pair.second);
        if (pick(5) == 0) pair.second.assign(pair.first.size(), 0);  // a bend that never leaves the fine part
        if (pick(12) == 0) pair.first.assign(pair.second.size(), 0);  // one that moves by whole semitones only
        if (pick(8) == 0) trimTrailingZeros(pair.first);
        seen_.push_back(pair);
        return pair;
    }
    size_t pick(size_t n) { return n == 0 ? 0 : random_() % n; }

private:
    void reshape(Values& values) {
        const size_t length = long_ ? (pick(3) == 0 ? 1 + pick(6) : 500 + pick(3000)) : 1 + pick(pick(2) == 0 ? 4 : 14);
        if (values.size() > length && pick(2) == 0) values.resize(length);
        while (values.size() < length) {
            const bool hold = long_ && !values.empty() && pick(64) != 0;
            values.push_back(hold ? values.back() : static_cast<int32_t>(pick(3)) - (pick(5) == 0 ? 1 : 0));
        }
    }

    std::mt19937 random_;
    bool long_;
    std::vector<ValuePair> seen_;
};

// One sequence of searches made on both an indexed table and a literal one.
class SearchPair {
public:
    SearchPair() : fast_(fastTable_) {}

    void value(const Values& em, const Values& en, bool handOver, PlainStep& step, int32_t& got) {
        got = handOver ? findValueRecord(fast_, Values(em), Values(en)) : findValueRecord(fast_, em, en);
        ASSERT_EQ(got, plainValueRecord(plain_, em, en, &step));
    }
    void tokenEm(const TokenList& tokens, const std::string& name) {
        ASSERT_EQ(findTokenEmRecord(fast_, tokens, name), plainTokenEm(plain_, tokens, name));
    }
    void tokenEn(const TokenList& tokens, const std::string& name) {
        ASSERT_EQ(findTokenEnRecord(fast_, TokenRuns::of(tokens), name), plainTokenEn(plain_, tokens, name));
    }
    // A later note labels a shared record, as the envelope pass does.
    void label(int32_t record) {
        fastTable_.records[static_cast<size_t>(record)].hasEmo = true;
        plain_.records[static_cast<size_t>(record)].hasEmo = true;
    }
    // A record added to the table from outside the searches.
    void append(const EnvelopeRecord& record) {
        fastTable_.records.push_back(record);
        plain_.records.push_back(record);
    }
    // An index made afresh, which takes in the whole table on the next search.
    void forgetIndex() { fast_.recordIndex = RecordIndex(); }

    void expectSameTables() const {
        ASSERT_EQ(fastTable_.records.size(), plain_.records.size());
        for (size_t k = 0; k < plain_.records.size(); ++k) {
            ASSERT_TRUE(sameRecord(fastTable_.records[k], plain_.records[k])) << "record " << k;
        }
        ASSERT_EQ(fast_.valuePairIndex.size(), plain_.pairs.size());
        for (const auto& [pair, record] : plain_.pairs) ASSERT_EQ(fast_.valuePairIndex.at(pair), record);
    }

private:
    EnvelopeTable fastTable_;
    RecordSearch fast_;
    PlainTable plain_;
};

// Runs random sequences of searches and counts the steps that answered, so
// that a test can tell every step was taken.
void runSequences(bool longLists, uint32_t rounds, size_t mostCalls, std::map<PlainStep, int>& steps) {
    const TokenList tokenChoices[] = {{"1", "L", "0"}, {"0", "D", "3"}, {"L", "0", "4", "7"}, {"2"}};
    const std::string names[] = {"32", "64", "E70", "1"};
    for (uint32_t round = 0; round < rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        PairMaker maker(round, longLists);
        SearchPair both;
        const size_t calls = 5 + maker.pick(mostCalls);
        for (size_t call = 0; call < calls; ++call) {
            SCOPED_TRACE("call " + std::to_string(call));
            const size_t kind = maker.pick(14);
            if (kind == 0) {
                ASSERT_NO_FATAL_FAILURE(both.tokenEm(tokenChoices[maker.pick(4)], names[maker.pick(4)]));
            } else if (kind == 1) {
                ASSERT_NO_FATAL_FAILURE(both.tokenEn(tokenChoices[maker.pick(4)], names[maker.pick(4)]));
            } else if (kind == 2 && maker.pick(3) == 0) {
                // A value record, or one whose Em part is verbatim, from outside the searches.
                EnvelopeRecord r;
                const auto [em, en] = maker.make();
                r.emValues.assign(em.begin(), em.end());
                r.enValues.assign(en.begin(), en.end());
                r.hasEm = hasNonZero(r.emValues);
                r.hasEn = hasNonZero(r.enValues);
                r.emVerbatim = maker.pick(3) == 0;
                both.append(r);
            } else if (kind == 3 && maker.pick(3) == 0) {
                both.forgetIndex();
            } else {
                const auto [em, en] = maker.make();
                PlainStep step = PlainStep::allZero;
                int32_t record = -1;
                // Half the calls hand their lists over, as the envelope pass does for long notes.
                ASSERT_NO_FATAL_FAILURE(both.value(em, en, maker.pick(2) == 0, step, record));
                ++steps[step];
                if (record >= 0 && maker.pick(3) == 0) both.label(record);
            }
        }
        ASSERT_NO_FATAL_FAILURE(both.expectSameTables());
    }
}

TEST(RecordSearchIndex, GivesWhatTheLiteralSearchesGiveOnManySequences) {
    std::map<PlainStep, int> steps;
    ASSERT_NO_FATAL_FAILURE(runSequences(false, 400, 60, steps));
    for (const PlainStep step : {PlainStep::known, PlainStep::longer, PlainStep::lengthened, PlainStep::made}) {
        EXPECT_GT(steps[step], 100) << "step " << static_cast<int>(step);
    }
}

TEST(RecordSearchIndex, GivesWhatTheLiteralSearchesGiveOnLongLists) {
    std::map<PlainStep, int> steps;
    ASSERT_NO_FATAL_FAILURE(runSequences(true, 40, 40, steps));
    for (const PlainStep step : {PlainStep::known, PlainStep::longer, PlainStep::lengthened, PlainStep::made}) {
        EXPECT_GT(steps[step], 10) << "step " << static_cast<int>(step);
    }
}

TEST(RecordSearchIndex, ALongListIsFoundAgainWithoutCopiesOfIt) {
    // One held bend over a ten-minute note, then the same note cut short.
    EnvelopeTable table;
    RecordSearch search(table);
    const Values held(36000, 5);
    const Values zeros(36000, 0);
    EXPECT_EQ(findValueRecord(search, held, zeros), 0);
    EXPECT_EQ(findValueRecord(search, Values(100, 5), Values(100, 0)), 0);
    EXPECT_EQ(findValueRecord(search, held, zeros), 0);
    EXPECT_EQ(table.records.size(), 1u);
}

}  // namespace
}  // namespace tonequill
