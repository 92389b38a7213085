#pragma once

#include <functional>
#include <ostream>

#include "app/run.h"
#include "mapping/mapping_tables.h"
#include "midi/midi_file.h"
#include "prep/prep_observer.h"
#include "prep/prepared_song.h"

namespace tonequill {

// What a finished run leaves for a report: everything read and prepared.
using RunInspector = std::function<void(const MappingTables&, const MidiFile&, const PreparedSong&)>;

// The converter's run sequence, step for step and message for message, with
// `observer` (may be null) handed to preparation and `inspect` (may be empty)
// called once the document has been stored, before "Convert done".
int runObservedConversion(const RunIo& io, std::ostream& out, std::ostream& log, PrepObserver* observer,
                          const RunInspector& inspect);

}  // namespace tonequill
