#pragma once

#include <cstddef>
#include <functional>
#include <thread>

namespace tonequill {

// How a stage spreads its work over threads. A song's conversion uses the
// same settings throughout; tests change them to compare a run on several
// threads with a run on one.
struct Parallelism {
    // Threads a stage may use, the caller's own among them (1: all work
    // runs on the caller's thread).
    unsigned threads = 1;
    // Less work than this (in the stage's own units: bytes, notes) runs on
    // the caller's thread alone, as starting a thread costs more than it saves.
    size_t minimumWork = 0;
};

// The settings in force: the machine's cores (at most 8) and a minimum that
// leaves small songs on one thread, unless changed.
Parallelism& parallelism();

// Threads for a stage with `work` units to do under the settings in force.
unsigned threadsFor(size_t work);

// Runs work(i) once for every i below `count` on up to `threads` threads
// (the caller's among them) and returns when all have finished. Each call of
// `work` must write only what belongs to its i, so that the result is the
// same in any order. When calls throw, the exception of the lowest i is
// rethrown, as a plain loop would have thrown it; calls above it may be skipped.
// When no further thread can be started, the caller's thread does it all.
void forEachIndex(size_t count, unsigned threads, const std::function<void(size_t)>& work);

// Work that runs beside whatever the caller does next, and is waited for
// when this goes out of scope (also when an exception passes). With one
// thread (or none to be had) the work runs at once, on the caller's thread.
// The work must not throw, and must touch nothing the caller still uses.
class BesideWork {
public:
    BesideWork() = default;
    BesideWork(const BesideWork&) = delete;
    BesideWork& operator=(const BesideWork&) = delete;
    ~BesideWork();

    // At most one piece of work: a second waits for the first.
    void start(unsigned threads, std::function<void()> work);

private:
    std::thread thread_;
};

}  // namespace tonequill
