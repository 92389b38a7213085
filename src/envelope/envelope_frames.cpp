#include "envelope/envelope_frames.h"

#include <cmath>

#include "common/conversion_error.h"

namespace tonequill {

std::string NoteSite::text() const {
    return "the note at tick " + std::to_string(tick) + " on TR" + std::to_string(trackNumber);
}

double ticksPerFrame(const PreparedSong& song) {
    const double perFrame = static_cast<double>(song.tpqn) * static_cast<double>(song.initialBpm) / 3600.0;
    return perFrame > 0.0 ? perFrame : 1.0;
}

int64_t framesOfNote(int32_t startTick, int32_t endTick, double ticksPerFrame) {
    const int64_t length = static_cast<int64_t>(endTick) - static_cast<int64_t>(startTick);
    if (length <= 0) return 1;
    const double frames = std::ceil(static_cast<double>(length) / ticksPerFrame);
    // Far beyond any budget; keeps the conversion to an integer defined.
    constexpr double kCeiling = 4611686018427387904.0;  // 2^62
    if (!(frames < kCeiling)) return static_cast<int64_t>(kCeiling);
    return frames < 1.0 ? 1 : static_cast<int64_t>(frames);
}

void FrameBudget::take(int64_t frames, const NoteSite& site) {
    if (frames > kMaxSongFrames - used_) {
        throw ConversionError("too many envelope frames: " + site.text() + " takes the song past " +
                              std::to_string(kMaxSongFrames) + " frames");
    }
    used_ += frames;
}

}  // namespace tonequill
