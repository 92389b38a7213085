#include "common/parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace tonequill {
namespace {

constexpr unsigned kMostThreads = 8;
// About a millisecond of work for a stage, so that a thread's start (tens of
// microseconds) is small beside what it takes over.
constexpr size_t kDefaultMinimumWork = 16384;

Parallelism machineDefaults() {
    Parallelism p;
    p.threads = std::clamp(std::thread::hardware_concurrency(), 1u, kMostThreads);
    p.minimumWork = kDefaultMinimumWork;
    return p;
}

}  // namespace

Parallelism& parallelism() {
    static Parallelism settings = machineDefaults();
    return settings;
}

unsigned threadsFor(size_t work) {
    const Parallelism& p = parallelism();
    return work < p.minimumWork ? 1u : std::max(p.threads, 1u);
}

void forEachIndex(size_t count, unsigned threads, const std::function<void(size_t)>& work) {
    const size_t useful = std::min<size_t>(threads, count);
    if (useful <= 1) {
        for (size_t i = 0; i < count; ++i) work(i);
        return;
    }
    std::atomic<size_t> next{0};
    std::atomic<size_t> failedAt{count};
    std::mutex failureLock;
    std::exception_ptr failure;
    auto run = [&] {
        for (size_t i = next.fetch_add(1); i < count; i = next.fetch_add(1)) {
            if (i > failedAt.load()) continue;  // a lower index has failed already
            try {
                work(i);
            } catch (...) {
                const std::lock_guard<std::mutex> hold(failureLock);
                if (i < failedAt.load()) {
                    failedAt.store(i);
                    failure = std::current_exception();
                }
            }
        }
    };
    std::vector<std::thread> helpers;
    helpers.reserve(useful - 1);
    try {
        while (helpers.size() + 1 < useful) helpers.emplace_back(run);
    } catch (const std::system_error&) {
        // No more threads to be had: those started and this one share the work.
    }
    run();
    for (std::thread& helper : helpers) helper.join();
    if (failure) std::rethrow_exception(failure);
}

BesideWork::~BesideWork() {
    if (thread_.joinable()) thread_.join();
}

void BesideWork::start(unsigned threads, std::function<void()> work) {
    if (thread_.joinable()) thread_.join();
    if (threads > 1) {
        try {
            thread_ = std::thread(work);  // a copy: `work` stays whole should the start fail
            return;
        } catch (const std::system_error&) {
            // No thread to be had: the work runs here.
        }
    }
    work();
}

}  // namespace tonequill
