#pragma once

#include <cstdint>

namespace tonequill {

// A tempo change: from `tick` on, a quarter note lasts `usPerQuarter` microseconds.
struct TempoEvent {
    int32_t tick = 0;
    double usPerQuarter = 0.0;
};

}  // namespace tonequill
