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

using testing::PlainTable;
using testing::plainTokenEm;
using testing::plainTokenEn;
using testing::plainValueRecord;
using testing::sameRecord;
using Values = std::vector<int32_t>;

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
        EnvelopeTable fastTable;
        RecordSearch fast(fastTable);
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
                got = findTokenEnRecord(fast, TokenRuns::of(tokens), name);
                want = plainTokenEn(plain, tokens, name);
            } else {
                const auto [em, en] = maker.make();
                // Half the calls hand their lists over, as the envelope pass does.
                got = maker.pick(2) == 0 ? findValueRecord(fast, em, en) : findValueRecord(fast, Values(em), Values(en));
                want = plainValueRecord(plain, em, en);
                if (got >= 0 && maker.pick(3) == 0) {
                    // A later note labels a shared record, as the envelope pass does.
                    fastTable.records[static_cast<size_t>(got)].hasEmo = plain.records[static_cast<size_t>(want)].hasEmo =
                        true;
                }
            }
            ASSERT_EQ(got, want) << "round " << round << ", call " << call;
        }
        ASSERT_EQ(fastTable.records.size(), plain.records.size()) << "round " << round;
        for (size_t k = 0; k < plain.records.size(); ++k) {
            ASSERT_TRUE(sameRecord(fastTable.records[k], plain.records[k])) << "round " << round << ", record " << k;
        }
        ASSERT_EQ(fast.valuePairIndex.size(), plain.pairs.size()) << "round " << round;
        for (const auto& [pair, record] : plain.pairs) EXPECT_EQ(fast.valuePairIndex.at(pair), record);
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
