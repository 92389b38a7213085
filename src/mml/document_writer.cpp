#include "mml/document_writer.h"

#include <cstdint>

#include "mml/definitions.h"
#include "mml/header.h"
#include "mml/tempo_track.h"
#include "mml/track_writer.h"

namespace tonequill {

void writeMmlDocument(std::ostream& out, const MappingTables& tables, const PreparedSong& song,
                      const MidiFile& file, std::ostream& log) {
    log << "[WRITE] header\n";
    writeHeader(out, song);

    log << "[WRITE] definitions\n";
    log << " combos=" << song.combos.size() << "\n";
    log << " env=" << tables.records.size() << "\n";
    writeDefinitions(out, tables, song);

    out << "BGM(0){\n";
    out << "t" << song.initialBpm << "\n\n";
    for (int32_t i = 0; i < song.outputTrackCount; ++i) {
        log << "[WRITE] TR" << static_cast<int64_t>(i) + 1 << "\n";
        out << trackText(tables, song, i, log);
    }
    out << tempoTrackText(file, song, log);
    out << "}\n";
}

}  // namespace tonequill
