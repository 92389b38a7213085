#pragma once

#include <ostream>

#include "common/combination.h"
#include "common/envelope_table.h"
#include "common/prepared_song.h"
#include "mapping/mapping_tables.h"

namespace tonequill {

// Writes the whole MML document to `out`. Line breaks are written as "\n";
// the file layer stores each as CR LF. Progress lines go to `log`.
void writeMmlDocument(std::ostream& out, const MappingTables& tables, const PreparedSong& song,
                      const EnvelopeTable& envelopes, const ComboTable& combos, std::ostream& log);

}  // namespace tonequill
