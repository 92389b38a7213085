// The list trie finds, for any list, the records whose list is a beginning of
// it and those whose list begins with it, as a plain comparison with every
// record's list does, while records come in and move deeper.
#include "envelope/search/list_trie.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <deque>
#include <random>
#include <set>
#include <vector>

namespace tonequill {
namespace {

using Values = std::vector<int32_t>;

constexpr int32_t kGone = 99;  // never a value of a list here

bool beginsWith(const Values& whole, const Values& part) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

class TrieModel {
public:
    explicit TrieModel(uint32_t seed) : random_(seed) {}

    // Lists with long shared beginnings: runs of zeros, a common pattern,
    // then a few parting values; now and then a long run of zeros.
    Values makeList() {
        Values v(pick(4) == 0 ? 500 + pick(2500) : pick(12), 0);
        const size_t pattern = pick(20);
        for (size_t i = 0; i < pattern; ++i) v.push_back(static_cast<int32_t>(i % 5));
        for (size_t i = pick(4); i > 0; --i) v.push_back(static_cast<int32_t>(pick(3)) - 1);
        if (v.empty()) v.push_back(static_cast<int32_t>(pick(3)));
        return v;
    }
    size_t pick(size_t n) { return n == 0 ? 0 : random_() % n; }

    // A new record on both sides.
    void add() {
        const auto k = static_cast<int32_t>(ends.size());
        ends.emplace_back();
        owned.emplace_back();
        for (int side = 0; side < 2; ++side) {
            Values& list = store.emplace_back(makeList());
            list.reserve(list.size() + pick(4));
            owned.back()[side] = &list;
            hold(k, side);
            TrieWalk walk;
            tries[side].walk(walk, list.data(), static_cast<uint32_t>(list.size()), zerosOf(list) == list.size());
            tries[side].place(walk, k, ends, nullptr);
        }
    }

    // Record k's list on one side grows at its end, in a new buffer or in
    // its own. The trie reads the old list until the walk down the new one is
    // done, as the record search has it.
    void lengthen(int32_t k, int side) {
        Values*& list = owned[static_cast<size_t>(k)][side];
        Values longer = *list;
        for (size_t i = pick(4); i > 0; --i) longer.push_back(static_cast<int32_t>(pick(3)) - 1);
        TrieWalk walk;
        tries[side].walk(walk, longer.data(), static_cast<uint32_t>(longer.size()), zerosOf(longer) == longer.size());
        const int32_t* old = list->data();
        Values* gone = nullptr;
        if (pick(2) == 0) {
            gone = list;
            list = &store.emplace_back(std::move(longer));
        } else {
            *list = longer;  // in place when the list has room
        }
        hold(k, side);
        tries[side].place(walk, k, ends, old);
        // The old list is given up: nothing may read it any more.
        if (gone != nullptr) std::fill(gone->begin(), gone->end(), kGone);
    }

    // Checks one probe against every record's list on one side.
    void check(int side, const Values& probe) {
        TrieWalk walk;
        tries[side].walk(walk, probe.data(), static_cast<uint32_t>(probe.size()), zerosOf(probe) == probe.size());
        std::set<int32_t> beginnings;
        std::set<int32_t> continuations;
        for (size_t k = 0; k < ends.size(); ++k) {
            const Values& list = *owned[k][side];
            if (beginsWith(probe, list)) beginnings.insert(static_cast<int32_t>(k));
            if (beginsWith(list, probe)) continuations.insert(static_cast<int32_t>(k));
            const ListEnd& end = ends[k].side[side];
            ASSERT_EQ(walk.passes(end.node, end.length), beginsWith(probe, list)) << "record " << k;
        }
        std::set<int32_t> onPath;
        for (const uint32_t node : walk.path) {
            for (int32_t k = tries[side].firstAt(node); k >= 0; k = ends[static_cast<size_t>(k)].side[side].next) {
                ASSERT_TRUE(onPath.insert(k).second);
            }
        }
        ASSERT_EQ(onPath, beginnings);
        const uint32_t below = tries[side].beginningOf(walk);
        std::set<int32_t> found;
        if (below != kNoNode) {
            tries[side].forEachBelow(below, ends, [&](int32_t k) { found.insert(k); });
            ASSERT_EQ(tries[side].countBelow(below), continuations.size());
        }
        ASSERT_EQ(found, continuations);
    }

    std::deque<Values> store;  // lists stay where they are
    std::vector<std::array<Values*, 2>> owned;
    RecordEndsList ends;
    ListTrie tries[2] = {ListTrie(0), ListTrie(1)};

private:
    static size_t zerosOf(const Values& list) {
        const auto firstNonZero = std::find_if(list.begin(), list.end(), [](int32_t v) { return v != 0; });
        return static_cast<size_t>(firstNonZero - list.begin());
    }

    void hold(int32_t k, int side) {
        const Values& list = *owned[static_cast<size_t>(k)][side];
        ListEnd& end = ends[static_cast<size_t>(k)].side[side];
        end.values = list.data();
        end.length = static_cast<uint32_t>(list.size());
        end.zeros = static_cast<uint32_t>(zerosOf(list));
    }

    std::mt19937 random_;
};

TEST(ListTrie, FindsBeginningsAndContinuationsAsAPlainComparisonDoes) {
    for (uint32_t seed = 0; seed < 6; ++seed) {
        TrieModel model(seed);
        for (int step = 0; step < 1500; ++step) {
            if (!model.ends.empty() && model.pick(3) == 0) {
                model.lengthen(static_cast<int32_t>(model.pick(model.ends.size())), static_cast<int>(model.pick(2)));
            } else {
                model.add();
            }
            if (step % 100 != 0) continue;
            for (int probe = 0; probe < 30; ++probe) {
                const int side = probe % 2;
                Values list = model.makeList();
                if (probe % 3 == 0 && !model.ends.empty()) {
                    // A record's own list, cut or continued.
                    list = *model.owned[model.pick(model.ends.size())][side];
                    if (model.pick(2) == 0) {
                        list.resize(model.pick(list.size() + 1));
                    } else {
                        list.push_back(static_cast<int32_t>(model.pick(3)) - 1);
                    }
                }
                ASSERT_NO_FATAL_FAILURE(model.check(side, list)) << "seed " << seed << ", step " << step;
            }
        }
    }
}

}  // namespace
}  // namespace tonequill
