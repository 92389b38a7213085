#pragma once

#include <ostream>

#include "common/envelope_table.h"
#include "common/prepared_song.h"
#include "mapping/mapping_tables.h"

namespace tonequill {

// Gives every note of every output track but TR4 and TR5 its pitch-envelope
// record (vibrato, arpeggio, pitch bend), collecting the distinct records in
// the order of first use. Writes one "[ENV] track=" line per visited track to
// `log`. Throws ConversionError when a note takes the song past its frame
// limit or a value leaves 32 bits.
EnvelopeTable assignEnvelopes(const MappingTables& tables, const PreparedSong& song, std::ostream& log);

}  // namespace tonequill
