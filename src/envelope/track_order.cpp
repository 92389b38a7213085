#include "envelope/track_order.h"

#include <algorithm>

namespace tonequill {

std::vector<int32_t> notesInTimeOrder(const PreparedSong& song, int32_t outputIndex) {
    if (outputIndex < 0 || static_cast<size_t>(outputIndex) >= song.trackNotes.size()) return {};
    const BulkList<int32_t>& positions = song.trackNotes[static_cast<size_t>(outputIndex)];
    return inTimeOrder(song.notes, std::vector<int32_t>(positions.begin(), positions.end()));
}

std::vector<int32_t> inTimeOrder(const BulkList<PreparedNote>& notes, std::vector<int32_t> positions) {
    auto earlier = [&notes](int32_t a, int32_t b) {
        const PreparedNote& x = notes[static_cast<size_t>(a)];
        const PreparedNote& y = notes[static_cast<size_t>(b)];
        if (x.startTick != y.startTick) return x.startTick < y.startTick;
        return x.endTick < y.endTick;
    };
    // Preparation leaves a track's notes in this order already; then sorting changes nothing.
    if (!std::is_sorted(positions.begin(), positions.end(), earlier)) {
        std::stable_sort(positions.begin(), positions.end(), earlier);
    }
    return positions;
}

}  // namespace tonequill
