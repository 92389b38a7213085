#include "report/report_view.h"

#include "common/channel_layout.h"

namespace tonequill {

std::string noteName(int32_t note) {
    static constexpr const char* kNames[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    const int32_t pitchClass = (note % 12 + 12) % 12;
    const int32_t octave = (note - pitchClass) / 12 - 1;
    return std::string(kNames[pitchClass]) + std::to_string(octave);
}

std::string chipName(int32_t outputIndex) {
    switch (channelLayout(outputIndex).group) {
        case ChipGroup::base: return "base chip";
        case ChipGroup::fds: return "FDS";
        case ChipGroup::vrc6: return "VRC6";
        case ChipGroup::vrc7: return "VRC7";
        case ChipGroup::mmc5: return "MMC5";
        case ChipGroup::n16x: return "n16x";
        case ChipGroup::sunsoft5b: return "Sunsoft 5B";
    }
    return "";
}

std::string outputTrackLabel(int32_t outputIndex) {
    std::string chip = chipName(outputIndex);
    if (outputIndex == 3) chip += ", noise";
    if (outputIndex == 4) chip += ", DPCM samples";
    return "TR" + std::to_string(int64_t{outputIndex} + 1) + " (" + chip + ")";
}

std::string sourceTrackLabel(const ReportView& view, int32_t sourceTrack) {
    if (sourceTrack < 0) return "the conductor track";
    const int64_t raw = int64_t{sourceTrack} + view.report.conductorOffset;
    std::string label = "track " + std::to_string(raw + 1);
    if (raw < static_cast<int64_t>(view.file.trackNames.size()) && !view.file.trackNames[static_cast<size_t>(raw)].empty()) {
        label += " \"" + printableText(view.file.trackNames[static_cast<size_t>(raw)]) + "\"";
    }
    return label;
}

}  // namespace tonequill
