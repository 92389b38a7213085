#include "envelope/note_sources.h"

#include <algorithm>
#include <iterator>
#include <limits>

namespace tonequill {

int32_t controllerValueAt(const BulkList<ControlChange>& events, int32_t tick, int32_t none) {
    const auto after =
        std::partition_point(events.begin(), events.end(), [tick](const ControlChange& e) { return e.tick <= tick; });
    return after == events.begin() ? none : std::prev(after)->value;
}

VibratoChoice pickVibrato(const MappingTables& tables, int32_t modulation) {
    VibratoChoice choice;
    if (modulation < 1) return choice;
    const auto entry = tables.emoMap.lower_bound(modulation);
    if (entry == tables.emoMap.end() || entry->second.empty()) return choice;
    choice.hasEmo = true;
    choice.tokens = entry->second;
    choice.name = std::to_string(entry->first);
    return choice;
}

namespace {

// "E" and the controller-12 value, the key of an [ApMap] "E" entry.
std::string controllerText(int32_t cc12) {
    std::string text(1, 'E');
    text += std::to_string(cc12);
    return text;
}

}  // namespace

ArpeggioChoice pickArpeggio(const MappingTables& tables, const PreparedNote& note, int32_t cc12) {
    ArpeggioChoice choice;
    const auto controllerEntry = tables.apCcMap.find(cc12);
    const bool hasControllerEntry = controllerEntry != tables.apCcMap.end();
    if (cc12 >= 64 && hasControllerEntry) {
        choice.tokens = controllerEntry->second;
        choice.apText = controllerText(cc12);
    } else if (note.isChord) {
        const int64_t key = static_cast<int64_t>(note.program) + 1;
        choice.apText = std::to_string(key);
        const auto programEntry = key <= std::numeric_limits<int32_t>::max()
                                      ? tables.apPcMap.find(static_cast<int32_t>(key))
                                      : tables.apPcMap.end();
        choice.tokens = programEntry != tables.apPcMap.end() ? programEntry->second : TokenList{"L", "U1"};
        if (cc12 >= 1 && cc12 <= 63 && hasControllerEntry) {
            choice.tokens = controllerEntry->second;
            choice.apText = controllerText(cc12);
        }
    }
    choice.hasAp = !choice.tokens.empty();
    return choice;
}

}  // namespace tonequill
