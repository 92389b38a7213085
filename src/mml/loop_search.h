#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tonequill {

// Where a value list's body loops: the lead-in values[0..start) is written
// as runs, then "L", then one period values[start..start + period).
struct LoopChoice {
    bool looped = false;
    std::size_t start = 0;
    std::size_t period = 0;
};

// The loop a value-list body uses: among every lead-in s whose runs cost at
// most 62 tokens (s + 4 below the list's length) and every period P >= 2
// with 2P no more than the tail from s, the tail repeating with period P,
// the one whose lead-in, period and loop mark cost fewest tokens, strictly
// fewer than the plain runs; the smallest s and then the smallest P on a tie.
// Lists of fewer than 8 values never loop.
//
// Linear in the list and without memory per value: the periods of the long
// tails are found as the shifts at which the list's second half, or more,
// recurs (a rolling hash over the list, each hit checked value by value).
// Should the checks run past a few passes over the list, which only lists
// built to defeat the hash do, the search by borders below takes over.
LoopChoice chooseLoop(std::span<const int32_t> values);

// The same with the work allowed for the checks given, in value comparisons.
LoopChoice chooseLoop(std::span<const int32_t> values, std::size_t checkBudget);

// The same answer from the smallest period of every suffix, found with the
// prefix function of the reversed list: linear too, but it holds a number
// for every value, and a table of run costs.
LoopChoice chooseLoopByBorders(std::span<const int32_t> values);

}  // namespace tonequill
