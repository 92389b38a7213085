#include "common/parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <vector>

namespace tonequill {
namespace {

TEST(ForEachIndex, RunsEveryIndexOnceOnAnyNumberOfThreads) {
    for (const unsigned threads : {1u, 2u, 3u, 8u}) {
        for (const size_t count : {size_t{0}, size_t{1}, size_t{2}, size_t{1000}}) {
            std::vector<std::atomic<int>> runs(count);
            forEachIndex(count, threads, [&](size_t i) { runs[i].fetch_add(1); });
            for (size_t i = 0; i < count; ++i) EXPECT_EQ(runs[i].load(), 1) << threads << " threads, index " << i;
        }
    }
}

TEST(ForEachIndex, RethrowsTheLowestFailingIndexLikeAPlainLoop) {
    for (const unsigned threads : {1u, 2u, 4u}) {
        try {
            forEachIndex(500, threads, [](size_t i) {
                if (i % 100 == 37) throw std::runtime_error("failed at " + std::to_string(i));
            });
            FAIL() << "no exception on " << threads << " threads";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "failed at 37") << threads << " threads";
        }
    }
}

TEST(BesideWork, HasFinishedItsWorkWhenItGoesOutOfScopeAlsoWhenAnExceptionPasses) {
    for (const unsigned threads : {1u, 2u}) {
        std::atomic<int> runs{0};
        {
            BesideWork work;
            work.start(threads, [&] { runs.fetch_add(1); });
            if (threads == 1) {
                EXPECT_EQ(runs.load(), 1) << "one thread runs the work at once";
            }
        }
        EXPECT_EQ(runs.load(), 1) << threads << " threads";
        try {
            BesideWork work;
            work.start(threads, [&] { runs.fetch_add(1); });
            work.start(threads, [&] { runs.fetch_add(1); });  // waits for the first
            throw std::runtime_error("leaving");
        } catch (const std::runtime_error&) {
        }
        EXPECT_EQ(runs.load(), 3) << threads << " threads";
    }
}

TEST(ThreadsFor, LeavesSmallWorkOnOneThread) {
    Parallelism& settings = parallelism();
    const Parallelism saved = settings;
    settings.threads = 4;
    settings.minimumWork = 100;
    EXPECT_EQ(threadsFor(99), 1u);
    EXPECT_EQ(threadsFor(100), 4u);
    settings = saved;
}

}  // namespace
}  // namespace tonequill
