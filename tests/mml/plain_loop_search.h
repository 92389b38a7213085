#pragma once

// The loop search of value-list bodies written out plainly: every lead-in and
// period, each tail checked value by value, each cost counted from scratch.
// The fast search must agree with it on every list.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "mml/definitions.h"

namespace tonequill::testing {

inline std::string plainValueListBody(const std::vector<int32_t>& values) {
    const std::size_t n = values.size();
    std::size_t best = runCost(values, 0, n);
    std::size_t bestStart = 0;
    std::size_t bestPeriod = 0;
    for (std::size_t s = 0; n >= 8 && s + 4 < n; ++s) {
        const std::size_t pre = runCost(values, 0, s);
        if (pre > 62) continue;
        for (std::size_t p = 2; 2 * p <= n - s; ++p) {
            bool repeats = true;
            for (std::size_t i = s + p; i < n && repeats; ++i) repeats = values[i] == values[s + (i - s) % p];
            if (!repeats) continue;
            const std::size_t total = runCost(values, s, s + p) + pre + 1;
            if (total < best) {
                best = total;
                bestStart = s;
                bestPeriod = p;
            }
        }
    }
    if (bestPeriod == 0) return runText(values, 0, n);
    return runText(values, 0, bestStart) + "L " + runText(values, bestStart, bestStart + bestPeriod);
}

}  // namespace tonequill::testing
