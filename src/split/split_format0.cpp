#include "split/split_format0.h"

#include "common/file_system.h"
#include "split/channel_tracks.h"
#include "split/format0_reader.h"
#include "split/format1_writer.h"

namespace tonequill {

SplitResult splitFormat0(std::span<const uint8_t> bytes) {
    SplitResult result;
    Format0Read read = readFormat0(bytes);
    if (!read.error.empty()) {
        result.error = std::move(read.error);
        return result;
    }
    result.tracks = splitByChannel(read.song);
    result.midi = writeFormat1(read.song.division, result.tracks, read.song.endTick);
    return result;
}

std::string splitOutputPath(const std::string& input) {
    const std::string stem = files::withoutExtension(input);
    return stem.size() == input.size() ? input + "-f1.mid" : stem + "-f1" + input.substr(stem.size());
}

}  // namespace tonequill
