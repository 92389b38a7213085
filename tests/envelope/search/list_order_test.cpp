// The blocked list order keeps the order, and finds the first entry not
// before a probe, as a plain sorted list of the same entries does.
#include "envelope/search/list_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <limits>
#include <random>
#include <vector>

namespace tonequill {
namespace {

using Values = std::vector<int32_t>;

bool plainBefore(const ListEntry& a, const ListEntry& b) {
    const Values x(a.values, a.values + a.length);
    const Values y(b.values, b.values + b.length);
    if (x != y) return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end());
    return a.record < b.record;
}

TEST(ListOrder, KeepsThePlainOrderThroughInsertsAndErasesAcrossManyBlocks) {
    std::mt19937 random(21);
    std::deque<Values> lists;  // stay in place while entries point at them
    auto makeList = [&] {
        // Long shared beginnings: runs of zeros, a common pattern, then a few parting values.
        Values v(random() % 20, 0);
        const size_t pattern = random() % 30;
        for (size_t i = 0; i < pattern; ++i) v.push_back(static_cast<int32_t>(i % 5));
        for (size_t i = random() % 4; i > 0; --i) v.push_back(static_cast<int32_t>(random() % 3) - 1);
        return v;
    };
    ListOrder order;
    std::vector<ListEntry> plain;
    for (int step = 0; step < 3000; ++step) {
        if (!plain.empty() && random() % 4 == 0) {
            const ListEntry gone = plain[random() % plain.size()];
            order.erase(gone);
            plain.erase(std::find_if(plain.begin(), plain.end(), [&](const ListEntry& e) { return e.record == gone.record; }));
        } else {
            lists.push_back(makeList());
            const ListEntry entry = listEntry(lists.back(), static_cast<int32_t>(random() % 5000));
            if (std::any_of(plain.begin(), plain.end(), [&](const ListEntry& e) { return e.record == entry.record; })) continue;
            order.insert(entry);
            plain.insert(std::upper_bound(plain.begin(), plain.end(), entry, plainBefore), entry);
        }
        if (step % 50 != 0) continue;
        ASSERT_EQ(order.size(), plain.size()) << "step " << step;
        size_t i = 0;
        ListOrder::Position at = order.lowerBound(listEntry(Values{}, std::numeric_limits<int32_t>::min()));
        for (; !order.atEnd(at); at = order.next(at), ++i) ASSERT_EQ(order[at].record, plain[i].record) << "step " << step;
        for (int probeCount = 0; probeCount < 20; ++probeCount) {
            const Values probeList = makeList();
            const ListEntry probe = listEntry(probeList, std::numeric_limits<int32_t>::min());
            const auto want = std::lower_bound(plain.begin(), plain.end(), probe, plainBefore);
            const ListOrder::Position got = order.lowerBound(probe);
            if (want == plain.end()) {
                ASSERT_TRUE(order.atEnd(got)) << "step " << step;
            } else {
                ASSERT_FALSE(order.atEnd(got)) << "step " << step;
                ASSERT_EQ(order[got].record, want->record) << "step " << step;
            }
        }
    }
    EXPECT_GT(plain.size(), 1024u);  // the order ran over several blocks
}

}  // namespace
}  // namespace tonequill
