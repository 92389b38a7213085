#include "app/run.h"

#include <exception>
#include <fstream>

#include "app/output_file.h"
#include "mapping/mapping_loader.h"
#include "midi/midi_reader.h"
#include "mml/document_writer.h"
#include "prep/prepare_song.h"

namespace tonequill {

std::string mappingFilePath(const std::string& input) {
    const auto separator = input.find_last_of("/\\");
    if (separator != std::string::npos) {
        std::string beside = input.substr(0, separator + 1) + "tve.txt";
        if (std::ifstream(beside)) return beside;
    }
    return "tve.txt";
}

std::string outputPath(const std::string& input) {
    const auto dot = input.find_last_of('.');
    return (dot == std::string::npos ? input : input.substr(0, dot)) + ".mml";
}

void convertSong(MappingTables& tables, const MidiFile& file, const std::string& output, std::ostream& log) {
    log << "[PREP] start\n";
    PreparedSong song;
    prepareSong(song, tables, file, log);
    log << "[PREP] done\n";
    log << "[WRITE] start\n";
    // The file is written only once preparation has succeeded, and replaces
    // an existing document only when it is complete.
    writeFileAtomically(output, [&](std::ostream& out) { writeMmlDocument(out, tables, song, file, log); });
    log << "[WRITE] end\n";
}

int runTonequill(const std::vector<std::string>& args, std::ostream& out, std::ostream& log) {
    MappingTables tables;
    if (args.empty()) {
        out << "\nTonequill Ver.2026/5/20   tonequill-dev\nusage\ntonequill input.mid\n";
        return 0;
    }
    const std::string& input = args[0];

    const std::string mappingPath = mappingFilePath(input);
    log << "[TVE] path=" << mappingPath << "\n";
    try {
        loadMappingFile(tables, mappingPath, log);
    } catch (const std::exception& e) {
        // A malformed number in the mapping file stops the run before the song is read.
        out << "error: " << e.what() << "\n";
        return 1;
    }

    const int32_t format = probeMidiFormat(input);
    log << "[MIDI] format=" << format << "\n";
    if (format >= 0 && format != 1) {
        out << "error only supported MIDI is Format 1.\n";
        return 1;
    }

    MidiFile file;
    log << "[MIDI] reading...\n";
    std::string reason;
    if (!readMidiFile(file, input, reason)) {
        log << "[MIDI] " << reason << "\n";
        out << "read error\n";
        return 1;
    }
    log << "[MIDI] read OK\n";

    try {
        convertSong(tables, file, outputPath(input), log);
    } catch (const std::exception& e) {
        out << "error: " << e.what() << "\n";
        return 1;
    }
    out << "Convert done\n";
    return 0;
}

}  // namespace tonequill
