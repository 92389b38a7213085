#pragma once

#include <ostream>

#include "mapping/mapping_tables.h"
#include "midi/midi_file.h"
#include "prep/prep_observer.h"
#include "prep/prepared_song.h"

namespace tonequill {

// Runs the whole preparation pipeline: timing, routing, notes, chords,
// programs, then envelope assignment and combination building. Progress lines
// go to `log`. Throws (std::exception-derived) on a conversion error. An
// observer, when given, hears the decisions about notes; it changes nothing.
void prepareSong(PreparedSong& song, MappingTables& tables, const MidiFile& file, std::ostream& log,
                 PrepObserver* observer = nullptr);

// The same for a caller that needs nothing more of the tracks' events (a
// run that only writes the document): they are let go as soon as the notes
// are paired, and the memory they held serves the rest of the preparation.
// The tempo events, track names and title stay.
void prepareSongDroppingEvents(PreparedSong& song, MappingTables& tables, MidiFile& file, std::ostream& log);

}  // namespace tonequill
