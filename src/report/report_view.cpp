#include "report/report_view.h"

#include <cstdio>

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

namespace {

// Length of the valid UTF-8 sequence at `i` (1 to 4), or 0 when none starts there.
size_t utf8Length(std::string_view s, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b = byte(i);
    if (b < 0x80) return 1;
    size_t length = 0;
    uint32_t code = 0;
    if (b >= 0xC2 && b <= 0xDF) length = 2, code = b & 0x1F;
    else if (b >= 0xE0 && b <= 0xEF) length = 3, code = b & 0x0F;
    else if (b >= 0xF0 && b <= 0xF4) length = 4, code = b & 0x07;
    else return 0;
    if (i + length > s.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) || code > 0x10FFFF) return 0;
    if (code >= 0xD800 && code <= 0xDFFF) return 0;
    return length;
}

}  // namespace

std::string printableText(std::string_view bytes) {
    std::string out;
    for (size_t i = 0; i < bytes.size();) {
        const size_t length = utf8Length(bytes, i);
        const auto b = static_cast<unsigned char>(bytes[i]);
        const bool c1Control = length == 2 && b == 0xC2 && static_cast<unsigned char>(bytes[i + 1]) < 0xA0;
        if (length == 0 || b < 0x20 || b == 0x7F || b == '\\' || c1Control) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            out += b == '\\' ? std::string("\\\\") : std::string(hex);
            ++i;
            continue;
        }
        out.append(bytes.substr(i, length));
        i += length;
    }
    return out;
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
