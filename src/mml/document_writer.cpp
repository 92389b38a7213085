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
                      const EnvelopeTable& envelopes, const ComboTable& combos, std::ostream& log) {
    // Every piece is appended to one buffer that goes to `out` in large blocks.
    TextSink sink(&out);
    log << "[WRITE] header\n";
    writeHeader(sink, song);

    log << "[WRITE] definitions\n";
    log << " combos=" << combos.list.size() << "\n";
    log << " env=" << envelopes.records.size() << "\n";
    writeDefinitions(sink, tables, envelopes, combos);
    writeBlockStart(sink, song);
    const TrackTextTools tools(song, envelopes, combos, log);
    for (int32_t i = 0; i < song.outputTrackCount; ++i) {
        log << "[WRITE] TR" << static_cast<int64_t>(i) + 1 << "\n";
        writeTrackText(sink, tools, song, i, log);
    }

    // The tempo track is built whole, as its log lines tell.
    sink.append(tempoTrackText(song, log));
    sink.append("}\n");
    sink.passOn();
}

}  // namespace tonequill
