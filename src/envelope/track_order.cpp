#include "envelope/track_order.h"

#include <algorithm>

namespace tonequill {

std::vector<int32_t> notesInTimeOrder(const PreparedSong& song, int32_t outputIndex) {
    if (outputIndex < 0 || static_cast<size_t>(outputIndex) >= song.trackNotes.size()) return {};
    std::vector<int32_t> order = song.trackNotes[static_cast<size_t>(outputIndex)];
    auto earlier = [&song](int32_t a, int32_t b) {
        const PreparedNote& x = song.notes[static_cast<size_t>(a)];
        const PreparedNote& y = song.notes[static_cast<size_t>(b)];
        if (x.startTick != y.startTick) return x.startTick < y.startTick;
        return x.endTick < y.endTick;
    };
    // Preparation leaves a track's notes in this order already; then sorting changes nothing.
    if (!std::is_sorted(order.begin(), order.end(), earlier)) std::stable_sort(order.begin(), order.end(), earlier);
    return order;
}

}  // namespace tonequill
