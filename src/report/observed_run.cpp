#include "report/observed_run.h"

#include <exception>
#include <string>

#include "mml/document_writer.h"
#include "prep/prepare_song.h"

namespace tonequill {

int runObservedConversion(const RunIo& io, std::ostream& out, std::ostream& log, PrepObserver* observer,
                          const RunInspector& inspect) {
    MappingTables tables;
    try {
        io.loadMapping(tables, log);
    } catch (const std::exception& e) {
        out << "error: " << e.what() << "\n";
        return 1;
    }

    const int32_t format = io.probeFormat();
    log << "[MIDI] format=" << format << "\n";
    if (format >= 0 && format != 1) {
        out << "error only supported MIDI is Format 1.\n";
        return 1;
    }

    MidiFile file;
    log << "[MIDI] reading...\n";
    std::string reason;
    if (!io.readMidi(file, reason)) {
        log << "[MIDI] " << reason << "\n";
        out << "read error\n";
        return 1;
    }
    log << "[MIDI] read OK\n";

    try {
        log << "[PREP] start\n";
        PreparedSong song;
        prepareSong(song, tables, file, log, observer);
        log << "[PREP] done\n";
        log << "[WRITE] start\n";
        io.storeDocument([&](std::ostream& document) { writeMmlDocument(document, tables, song, file, log); });
        log << "[WRITE] end\n";
        if (inspect) inspect(tables, file, song);
    } catch (const std::exception& e) {
        out << "error: " << e.what() << "\n";
        return 1;
    }
    out << "Convert done\n";
    return 0;
}

}  // namespace tonequill
