#include "split/channel_tracks.h"

#include <array>

namespace tonequill {

std::string channelTrackName(int32_t channel, std::optional<uint8_t> firstProgram) {
    std::string name = "Ch " + std::to_string(channel + 1);
    if (channel == kDrumChannel) name = "trx4 " + name + " Drums";
    if (firstProgram) name += " Program " + std::to_string(*firstProgram);
    return name;
}

std::vector<SplitTrack> splitByChannel(const Format0Song& song) {
    constexpr size_t kChannels = 16;
    std::vector<SplitTrack> tracks(1);
    std::array<std::vector<SplitEvent>, kChannels> byChannel;
    std::array<std::optional<uint8_t>, kChannels> firstProgram;
    for (const SplitEvent& event : song.events) {
        if (event.status >= 0xF0) {
            tracks.front().events.push_back(event);
            continue;
        }
        const size_t channel = event.status & 0x0F;
        byChannel[channel].push_back(event);
        if ((event.status & 0xF0) == 0xC0 && !firstProgram[channel] && !event.body.empty()) {
            firstProgram[channel] = event.body.front();
        }
    }
    for (size_t channel = 0; channel < kChannels; ++channel) {
        if (byChannel[channel].empty()) continue;
        const auto c = static_cast<int32_t>(channel);
        tracks.push_back(SplitTrack{channelTrackName(c, firstProgram[channel]), c, std::move(byChannel[channel])});
    }
    return tracks;
}

}  // namespace tonequill
