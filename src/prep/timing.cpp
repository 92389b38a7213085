#include "prep/timing.h"

#include <algorithm>
#include <vector>

namespace tonequill {

bool hasConductorTrack(const MidiFile& file) {
    if (file.tracks.size() <= 1) return false;
    const BulkList<NoteEvent>& notes = file.tracks[0].notes;
    return std::none_of(notes.begin(), notes.end(), [](const NoteEvent& e) { return e.on; });
}

int32_t startingBpm(const MidiFile& file) {
    // The first Set Tempo in track order, whatever its tick. The reader
    // refuses a tempo of 0, so there is never a division by it.
    if (file.firstSetTempo == 0) return 120;
    return static_cast<int32_t>(60000000.0 / file.firstSetTempo + 0.5);
}

int32_t chooseTimebase(int32_t initialBpm) {
    for (int32_t timebase : {48, 24, 12}) {
        const int64_t product = int64_t{timebase} * initialBpm;
        if (product >= 24 && product < 6144) return timebase;
    }
    return 12;
}

}  // namespace tonequill
