#include "envelope/search/record_search.h"

#include <gtest/gtest.h>

namespace tonequill {
namespace {

using Values = ValueList;  // the records' own list type

TEST(FindValueRecord, AllZerosHaveNoRecord) {
    EnvelopeTable table;
    RecordSearch search(table);
    EXPECT_EQ(findValueRecord(search, {0, 0}, {0}), -1);
    EXPECT_TRUE(table.records.empty());
    EXPECT_TRUE(search.valuePairIndex.empty());
}

TEST(FindValueRecord, NewRecordFlagsOnlyThePartsThatMove) {
    EnvelopeTable table;
    RecordSearch search(table);
    EXPECT_EQ(findValueRecord(search, {0, 0}, {3, 0}), 0);
    const EnvelopeRecord& r = table.records.at(0);
    EXPECT_FALSE(r.hasEm);
    EXPECT_TRUE(r.hasEn);
    EXPECT_FALSE(r.emVerbatim || r.enVerbatim);
    EXPECT_EQ(r.emValues, (Values{0, 0}));
    EXPECT_EQ(search.valuePairIndex.at(ValuePair{{0, 0}, {3, 0}}), 0);
    EXPECT_EQ(findValueRecord(search, {0, 0}, {3, 0}), 0);
    EXPECT_EQ(table.records.size(), 1u);
}

TEST(FindValueRecord, ShorterFirstThenTheLongerLengthensIt) {
    EnvelopeTable table;
    RecordSearch search(table);
    EXPECT_EQ(findValueRecord(search, {0}, {2, 0}), 0);
    EXPECT_EQ(findValueRecord(search, {0, 5, 0}, {2, 0, 0}), 0);
    ASSERT_EQ(table.records.size(), 1u);
    const EnvelopeRecord& r = table.records[0];
    EXPECT_EQ(r.emValues, (Values{0, 5, 0}));
    EXPECT_EQ(r.enValues, (Values{2, 0, 0}));
    EXPECT_TRUE(r.hasEm);  // the lengthened values move the Em part now
    EXPECT_TRUE(r.hasEn);
    EXPECT_EQ(search.valuePairIndex.at(ValuePair{{0}, {2, 0}}), 0);
    EXPECT_EQ(search.valuePairIndex.at(ValuePair{{0, 5, 0}, {2, 0, 0}}), 0);
    EXPECT_EQ(findValueRecord(search, {0}, {2, 0}), 0);
}

TEST(FindValueRecord, LongerFirstThenTheShorterReusesIt) {
    EnvelopeTable table;
    RecordSearch search(table);
    EXPECT_EQ(findValueRecord(search, {1, 2, 3}, {0, 0}), 0);
    EXPECT_EQ(findValueRecord(search, {1, 2}, {0}), 0);
    ASSERT_EQ(table.records.size(), 1u);
    EXPECT_EQ(table.records[0].emValues, (Values{1, 2, 3}));
    EXPECT_EQ(search.valuePairIndex.at(ValuePair{{1, 2}, {0}}), 0);
}

TEST(FindValueRecord, ReuseTakesTheLongestAndTheLaterOnATie) {
    EnvelopeTable table;
    RecordSearch search(table);
    EXPECT_EQ(findValueRecord(search, {1, 2, 3, 4}, {0, 0, 0}), 0);  // m = 3
    EXPECT_EQ(findValueRecord(search, {1, 2, 3}, {0, 0, 0, 9}), 1);  // m = 3, not a beginning of record 0
    EXPECT_EQ(findValueRecord(search, {1, 2, 9}, {0, 0}), 2);        // m = 2
    EXPECT_EQ(findValueRecord(search, {1, 2}, {0, 0}), 1);
}

TEST(FindValueRecord, LengtheningTakesTheLongestAndTheEarlierOnATie) {
    EnvelopeTable table;
    RecordSearch search(table);
    EXPECT_EQ(findValueRecord(search, {1}, {0, 0}), 0);  // m = 1
    EXPECT_EQ(findValueRecord(search, {1, 2}, {0}), 1);  // m = 1
    EXPECT_EQ(findValueRecord(search, {1, 2, 3}, {0, 0, 0}), 0);
    EXPECT_EQ(table.records[0].emValues, (Values{1, 2, 3}));
    EXPECT_EQ(table.records[1].emValues, (Values{1, 2}));

    EnvelopeTable longestTable;
    RecordSearch longest(longestTable);
    EXPECT_EQ(findValueRecord(longest, {1}, {0, 0, 0}), 0);  // m = 1
    EXPECT_EQ(findValueRecord(longest, {1, 2}, {0, 0}), 1);  // m = 2
    EXPECT_EQ(findValueRecord(longest, {1, 2, 3}, {0, 0, 0}), 1);
    EXPECT_EQ(longestTable.records[0].emValues, (Values{1}));
    EXPECT_EQ(longestTable.records[1].emValues, (Values{1, 2, 3}));
}

TEST(FindValueRecord, TokenRecordsAreNeverMatched) {
    EnvelopeTable table;
    RecordSearch search(table);
    EnvelopeRecord tokens;
    tokens.emValues = {1, 2};
    tokens.enValues = {0};
    tokens.emVerbatim = true;
    table.records.push_back(tokens);
    EXPECT_EQ(findValueRecord(search, {1}, {0}), 1);
    EXPECT_EQ(findValueRecord(search, {1, 2, 3}, {0}), 1);
    EXPECT_EQ(table.records[0].emValues, (Values{1, 2}));
}

TEST(FindTokenEmRecord, SameTokensShareTheFirstRecordAndItsName) {
    EnvelopeTable table;
    RecordSearch search(table);
    EXPECT_EQ(findTokenEmRecord(search, {"1", "L", "0"}, "32"), 0);
    EXPECT_EQ(findTokenEmRecord(search, {"1", "L", "0"}, "64"), 0);
    EXPECT_EQ(findTokenEmRecord(search, {"1", "L"}, "64"), 1);
    const EnvelopeRecord& r = table.records.at(0);
    EXPECT_EQ(r.emoName, "32");
    EXPECT_TRUE(r.hasEm && r.emVerbatim && r.hasEmo);
    EXPECT_FALSE(r.hasEn || r.enVerbatim || r.plusPb || r.hasAp);
}

TEST(FindTokenEnRecord, SharedOnlyUnderTheSameArpeggioName) {
    EnvelopeTable table;
    RecordSearch search(table);
    EXPECT_EQ(findTokenEnRecord(search, TokenRuns::of({"L", "0", "4"}), "1"), 0);
    EXPECT_EQ(findTokenEnRecord(search, TokenRuns::of({"L", "0", "4"}), "1"), 0);
    EXPECT_EQ(findTokenEnRecord(search, TokenRuns::of({"L", "0", "4"}), "E70"), 1);
    EXPECT_EQ(findTokenEnRecord(search, TokenRuns::of({"L", "0", "3"}), "1"), 2);
    const EnvelopeRecord& r = table.records.at(1);
    EXPECT_EQ(r.apText, "E70");
    EXPECT_TRUE(r.hasEn && r.enVerbatim && r.hasAp);
    EXPECT_FALSE(r.hasEm || r.emVerbatim || r.apWithEm);
}

}  // namespace
}  // namespace tonequill
