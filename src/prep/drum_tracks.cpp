#include "prep/drum_tracks.h"

#include "common/printable_text.h"

namespace tonequill {

namespace {
constexpr int32_t kNoiseTrack = 3;  // TR4
}

std::vector<DrumTrackHint> drumTracksOffNoise(const TrackRouting& routing, const std::vector<int32_t>& drumNotes,
                                              const MidiFile& file, int32_t conductorOffset) {
    std::vector<DrumTrackHint> hints;
    for (size_t t = 0; t < drumNotes.size() && t < routing.routing.size(); ++t) {
        if (drumNotes[t] == 0 || routing.directive[t] || routing.routing[t] == kNoiseTrack) continue;
        DrumTrackHint hint;
        hint.sourceTrack = static_cast<int32_t>(t);
        hint.rawTrack = hint.sourceTrack + conductorOffset;
        hint.outputIndex = routing.routing[t];
        hint.noteCount = drumNotes[t];
        const auto raw = static_cast<size_t>(hint.rawTrack);
        if (raw < file.trackNames.size()) hint.name = file.trackNames[raw];
        hints.push_back(std::move(hint));
    }
    return hints;
}

std::string drumTrackHintLine(const DrumTrackHint& hint) {
    std::string track = "track " + std::to_string(int64_t{hint.rawTrack} + 1);
    if (!hint.name.empty()) track += " \"" + printableText(hint.name) + "\"";
    const std::string notes = std::to_string(hint.noteCount) + (hint.noteCount == 1 ? " note" : " notes");
    return "[PREP] warning: " + track + " has " + notes + " on MIDI channel 10 but goes to TR" +
           std::to_string(int64_t{hint.outputIndex} + 1) +
           " by track order; put \"trx4\" in its name to send it to the noise channel";
}

}  // namespace tonequill
