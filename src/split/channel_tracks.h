#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "split/split_records.h"

namespace tonequill {

// The MIDI channel (0 to 15) whose drums the converter plays on its noise track.
inline constexpr int32_t kDrumChannel = 9;

// The tracks of the format-1 file: first one with every meta event and
// system-exclusive message (tempo map, meter, title and the rest), then one
// per channel that has events, in channel order, each named by
// channelTrackName. Every track keeps its events in file order.
std::vector<SplitTrack> splitByChannel(const Format0Song& song);

// "Ch 1 Program 0" for channel 0 with its first program 0 ("Ch 1" with no
// program change). The drum channel's name starts with the directive that
// sends it to the noise track: "trx4 Ch 10 Drums" (then " Program 25").
std::string channelTrackName(int32_t channel, std::optional<uint8_t> firstProgram);

}  // namespace tonequill
