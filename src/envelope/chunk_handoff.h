#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

namespace tonequill {

// Work done in two steps, the second in the order the first produced it:
// `produce(chunk)` fills a chunk (from the start; it is handed chunks the
// consumer has finished with) and returns false once nothing is left after
// it; `consume(chunk)` takes it in. On two threads the producer runs ahead
// on its own thread by at most a few chunks while the caller's thread
// consumes; on one thread they take turns. Either way `consume` sees the
// chunks in order.
//
// An exception from `produce` is kept in the chunk (`failure`, after the
// items it has put in) and rethrown once they have been consumed, so a
// failure surfaces where a plain loop would have met it. An exception from
// `consume` stops the producer and is rethrown.
// `Chunk` needs a member `std::exception_ptr failure`.
template <typename Chunk, typename Produce, typename Consume>
void produceAndConsume(unsigned threads, Produce produce, Consume consume) {
    auto produceInto = [&produce](Chunk& chunk) {
        chunk.failure = nullptr;
        try {
            return produce(chunk);
        } catch (...) {
            chunk.failure = std::current_exception();
            return false;
        }
    };
    auto consumeAll = [&consume](Chunk& chunk) {
        consume(chunk);
        if (chunk.failure) std::rethrow_exception(chunk.failure);
    };

    constexpr size_t kChunks = 4;
    std::array<Chunk, kChunks> chunks;
    if (threads <= 1) {
        bool more = true;
        while (more) {
            more = produceInto(chunks[0]);
            consumeAll(chunks[0]);
        }
        return;
    }

    // chunks[k] for k in [consumed, produced) wait for the consumer; the
    // producer may fill chunks up to consumed + kChunks.
    std::mutex lock;
    std::condition_variable changed;
    size_t produced = 0;
    size_t consumed = 0;
    bool finished = false;  // the producer has handed over its last chunk
    bool stopped = false;   // the consumer has given up
    auto producer = [&] {
        for (bool more = true; more;) {
            Chunk* chunk = nullptr;
            {
                std::unique_lock<std::mutex> hold(lock);
                changed.wait(hold, [&] { return stopped || produced < consumed + kChunks; });
                if (stopped) return;
                chunk = &chunks[produced % kChunks];
            }
            more = produceInto(*chunk);
            {
                const std::lock_guard<std::mutex> hold(lock);
                ++produced;
                finished = !more;
            }
            changed.notify_all();
        }
    };

    std::thread worker;
    try {
        worker = std::thread(producer);
    } catch (const std::system_error&) {
        produceAndConsume<Chunk>(1, produce, consume);  // no thread to be had: take turns
        return;
    }
    auto stop = [&] {
        {
            const std::lock_guard<std::mutex> hold(lock);
            stopped = true;
        }
        changed.notify_all();
        worker.join();
    };
    try {
        for (;;) {
            Chunk* chunk = nullptr;
            {
                std::unique_lock<std::mutex> hold(lock);
                changed.wait(hold, [&] { return consumed < produced || finished; });
                if (consumed == produced) break;  // finished, and everything taken in
                chunk = &chunks[consumed % kChunks];
            }
            consumeAll(*chunk);
            {
                const std::lock_guard<std::mutex> hold(lock);
                ++consumed;
            }
            changed.notify_all();
        }
    } catch (...) {
        stop();
        throw;
    }
    worker.join();
}

}  // namespace tonequill
