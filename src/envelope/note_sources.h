#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mapping/mapping_tables.h"
#include "common/prepared_song.h"
#include "common/tick_cursor.h"

namespace tonequill {

// The value of the last controller event at or before `tick` in a list
// ordered by tick; `none` when there is no such event.
int32_t controllerValueAt(const BulkList<ControlChange>& events, int32_t tick, int32_t none);

// The same answer for a pass that moves forward in time through one source
// track's events.
using ControllerCursor = TickCursor<ControlChange, &ControlChange::value>;

// The vibrato a modulation depth asks for.
struct VibratoChoice {
    bool hasEmo = false;
    TokenList tokens;
    std::string name;  // the [EmoMap] key used, in decimal
};

// A depth of 1 or more takes the [EmoMap] entry with the smallest key not
// below it (an at-least match); an entry with no tokens means no vibrato.
VibratoChoice pickVibrato(const MappingTables& tables, int32_t modulation);

// The arpeggio a note plays, before its tokens are spelled out for the chord.
struct ArpeggioChoice {
    bool hasAp = false;
    TokenList tokens;
    std::string apText;  // "E" and the controller-12 value, or the program + 1
};

// Controller 12 at 64..127 with an [ApMap] "E" entry arpeggiates every note;
// at 1..63 with an entry it replaces a chord's program arpeggio. A chord
// otherwise takes its program's entry, or "L U1" (each tone once, looping).
// A single note without a value of 64 or more has none. `cc12` is -1 when
// the track has no controller 12 yet.
ArpeggioChoice pickArpeggio(const MappingTables& tables, const PreparedNote& note, int32_t cc12);

}  // namespace tonequill
