#include "split/split_format0.h"

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
    const auto separator = input.find_last_of("/\\");
    const auto nameStart = separator == std::string::npos ? 0 : separator + 1;
    const auto dot = input.find_last_of('.');
    if (dot == std::string::npos || dot <= nameStart) return input + "-f1.mid";
    return input.substr(0, dot) + "-f1" + input.substr(dot);
}

}  // namespace tonequill
