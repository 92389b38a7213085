#pragma once

#include <ostream>
#include <string>

#include "mapping/mapping_tables.h"
#include "midi/midi_file.h"
#include "prep/prepared_song.h"

namespace tonequill {

// Writes the whole MML document to `out`. Line breaks are written as "\n";
// the file layer stores each as CR LF. Progress lines go to `log`.
void writeMmlDocument(std::ostream& out, const MappingTables& tables, const PreparedSong& song,
                      const MidiFile& file, std::ostream& log);

}  // namespace tonequill
