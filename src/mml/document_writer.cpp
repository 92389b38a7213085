#include "mml/document_writer.h"

#include <cstdint>

#include "mml/definitions.h"
#include "mml/header.h"
#include "mml/tempo_track.h"
#include "mml/text_sink.h"
#include "mml/track_writer.h"

namespace tonequill {
namespace {

void writeBlockStart(TextSink& sink, const PreparedSong& song) {
    sink.append("BGM(0){\n");
    sink.append('t');
    sink.number(song.initialBpm);
    sink.append("\n\n");
}

}  // namespace

void writeMmlDocument(std::ostream& out, const MappingTables& tables, const PreparedSong& song,
                      const MidiFile& file, std::ostream& log) {
    // Every piece is appended to one buffer that goes to `out` in large blocks.
    TextSink sink(&out);
    log << "[WRITE] header\n";
    writeHeader(sink, song);

    log << "[WRITE] definitions\n";
    log << " combos=" << song.combos.size() << "\n";
    log << " env=" << tables.records.size() << "\n";
    writeDefinitions(sink, tables, song);
    writeBlockStart(sink, song);
    const TrackTextTools tools(tables, song, log);
    for (int32_t i = 0; i < song.outputTrackCount; ++i) {
        log << "[WRITE] TR" << static_cast<int64_t>(i) + 1 << "\n";
        writeTrackText(sink, tools, song, i, log);
    }

    // The tempo track is built whole, as its log lines tell.
    sink.append(tempoTrackText(file, song, log));
    sink.append("}\n");
    sink.passOn();
}

}  // namespace tonequill
