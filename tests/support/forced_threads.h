#pragma once

#include "common/parallel.h"

namespace tonequill::testing {

// Spreads the stages over `threads` threads whatever the size of the song,
// for as long as it lives; the settings before it come back afterwards.
class ForcedThreads {
public:
    explicit ForcedThreads(unsigned threads) : saved_(parallelism()) {
        parallelism().threads = threads;
        parallelism().minimumWork = 0;
    }
    ~ForcedThreads() { parallelism() = saved_; }
    ForcedThreads(const ForcedThreads&) = delete;
    ForcedThreads& operator=(const ForcedThreads&) = delete;

private:
    Parallelism saved_;
};

}  // namespace tonequill::testing
