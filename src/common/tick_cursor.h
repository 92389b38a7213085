#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tonequill {

// The value of the last event at or before a tick, in a list ordered by tick,
// for a pass that asks in time order: each event is passed once over the whole
// pass. A tick earlier than one asked before is looked up afresh. `field` is
// the event's value (a controller's value, a program change's program).
template <typename Event, auto field>
class TickCursor {
public:
    explicit TickCursor(int32_t none) : none_(none) {}

    template <typename Allocator>
    int32_t at(const std::vector<Event, Allocator>& events, int32_t tick) {
        if (next_ > 0 && events[next_ - 1].tick > tick) {
            const auto after = std::partition_point(events.begin(), events.end(),
                                                    [tick](const Event& e) { return e.tick <= tick; });
            return after == events.begin() ? none_ : static_cast<int32_t>((*(after - 1)).*field);
        }
        while (next_ < events.size() && events[next_].tick <= tick) ++next_;
        return next_ == 0 ? none_ : static_cast<int32_t>(events[next_ - 1].*field);
    }

private:
    int32_t none_;
    std::size_t next_ = 0;  // the first event not yet passed
};

}  // namespace tonequill
