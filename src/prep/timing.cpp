#include "prep/timing.h"

#include <string>

#include "common/conversion_error.h"

namespace tonequill {

bool hasConductorTrack(const MidiFile& file) {
    if (file.tracks.size() <= 1) return false;
    for (const MidiEvent& e : file.tracks[0].events) {
        if (e.bytes.size() >= 3 && (e.bytes[0] >> 4) == 0x9 && e.bytes[2] > 0) return false;
    }
    return true;
}

int32_t startingBpm(const MidiFile& file) {
    for (size_t r = 0; r < file.tracks.size(); ++r) {
        for (const MidiEvent& e : file.tracks[r].events) {
            if (e.bytes.size() < 6 || e.bytes[0] != 0xFF || e.bytes[1] != 0x51) continue;
            const uint32_t us = (uint32_t{e.bytes[3]} << 16) | (uint32_t{e.bytes[4]} << 8) | e.bytes[5];
            if (us == 0) {
                // The reader refuses such files; never divide by it.
                throw ConversionError("Set Tempo of 0 microseconds per quarter note in track " + std::to_string(r) +
                                      " at tick " + std::to_string(e.tick));
            }
            return static_cast<int32_t>(60000000.0 / us + 0.5);
        }
    }
    return 120;
}

int32_t chooseTimebase(int32_t initialBpm) {
    for (int32_t timebase : {48, 24, 12}) {
        const int64_t product = int64_t{timebase} * initialBpm;
        if (product >= 24 && product < 6144) return timebase;
    }
    return 12;
}

}  // namespace tonequill
