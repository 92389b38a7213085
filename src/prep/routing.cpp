#include "prep/routing.h"

#include <algorithm>
#include <string>

#include "mapping/number_text.h"
#include "common/conversion_error.h"
#include "common/printable_text.h"

namespace tonequill {

int32_t parseTrackDirective(std::string_view name) {
    std::string text(name);
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    if (text.size() <= 3 || text.compare(0, 3, "trx") != 0) return -1;

    size_t end = 3;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    if (end == 3) return -1;
    if (end < text.size()) {
        const char separator = text[end];
        if (separator != ' ' && separator != '-' && separator != '_') return -1;
    }
    // An over-long digit run is an error, not "no directive".
    const int32_t n = parseInt32(std::string_view(text).substr(3, end - 3));
    if (n >= 1 && n <= kMaxOutputTracks) return n - 1;
    return -1;
}

TrackRouting routeTracks(const MidiFile& file, int32_t conductorOffset, int32_t sourceTrackCount) {
    TrackRouting result;
    const size_t count = static_cast<size_t>(std::max(sourceTrackCount, 0));
    result.routing.assign(count, 0);
    result.directive.assign(count, false);
    int32_t largest = 0;
    for (int32_t t = 0; t < sourceTrackCount; ++t) {
        const int64_t raw = int64_t{t} + conductorOffset;
        int32_t d = -1;
        if (raw >= 0 && raw < static_cast<int64_t>(file.trackNames.size())) {
            const std::string& name = file.trackNames[static_cast<size_t>(raw)];
            try {
                d = parseTrackDirective(name);
            } catch (const std::out_of_range& e) {
                throw TrackNameNumberError(e, static_cast<int32_t>(raw), name);
            }
        }
        const size_t i = static_cast<size_t>(t);
        if (d >= 0) {
            result.directive[i] = true;
            result.routing[i] = d;
        } else {
            result.routing[i] = t;
        }
        largest = std::max(largest, result.routing[i]);
    }
    result.outputTrackCount = std::max(sourceTrackCount, largest + 1);
    if (result.outputTrackCount > kMaxOutputTracks) throw ConversionError("trx destination exceeds TR28");
    return result;
}

std::string trackNameNumberHintLine(const TrackNameNumberError& error) {
    return "[PREP] track " + std::to_string(int64_t{error.rawTrack} + 1) + " \"" + printableText(error.name) +
           "\": the number after \"trx\" is too large; trx1 to trx" + std::to_string(kMaxOutputTracks) +
           " send a track to TR1 to TR" + std::to_string(kMaxOutputTracks);
}

std::vector<bool> homeTrackFlags(const TrackRouting& routing) {
    std::vector<bool> home(routing.routing.size(), false);
    for (size_t t = 0; t < home.size(); ++t) {
        home[t] = !routing.directive[t] && routing.routing[t] == static_cast<int32_t>(t);
    }
    return home;
}

}  // namespace tonequill
