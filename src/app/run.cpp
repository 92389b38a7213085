#include "app/run.h"

#include <exception>
#include <memory>
#include <new>
#include <sstream>

#include "app/limited_streambuf.h"
#include "app/output_file.h"
#include "app/split_command.h"
#include "common/bulk_memory.h"
#include "common/file_system.h"
#include "common/version.h"
#include "mapping/mapping_loader.h"
#include "midi/midi_reader.h"
#include "mml/document_writer.h"
#include "envelope/assign_envelopes.h"
#include "envelope/combinations.h"
#include "prep/drum_tracks.h"
#include "prep/prepare_song.h"
#include "prep/routing.h"

namespace tonequill {

std::string mappingFilePath(const std::string& input) {
    const auto separator = input.find_last_of("/\\");
    if (separator != std::string::npos) {
        std::string beside = input.substr(0, separator + 1) + "tve.txt";
        if (files::canReadRegularFile(beside)) return beside;
    }
    return "tve.txt";
}

std::string outputPath(const std::string& input) {
    // Only a dot in the file's own name starts its extension: "my.dir/song"
    // gives "my.dir/song.mml", never a file outside the input's folder.
    return files::withoutExtension(input) + ".mml";
}

namespace {

// The conversion's stages in order: prepare, assign envelopes, number
// combinations, write. The document is only started once every stage before
// it has succeeded.
void convertSong(const MappingTables& tables, MidiFile& file, const RunIo& io, std::ostream& log,
                 PrepObserver* observer, const RunInspector& inspect, HintLines& hints) {
    log << "[PREP] start\n";
    // A report reads the file again afterwards; a plain run lets the song
    // take its events over.
    const PreparedSong song = inspect ? prepareSong(file, log, observer) : prepareSong(std::move(file), log, observer);
    for (const DrumTrackHint& drums : song.drumTracksOffNoise) {
        hints.push_back(drumTrackHintLine(drums));
        log << hints.back() << "\n";
    }

    log << "[ENV] assign start\n";
    EnvelopeTable envelopes = assignEnvelopes(tables, song, log);
    log << "[ENV] assign done\n";

    log << "[COMBO] build start\n";
    const ComboTable combos = numberCombinations(tables, song, envelopes);
    log << "[COMBO] total=" << combos.list.size() << "\n";
    log << "[PREP] ===== end =====\n";
    log << "[PREP] done\n";

    log << "[WRITE] start\n";
    io.storeDocument([&](std::ostream& out) { writeMmlDocument(out, tables, song, envelopes, combos, log); });
    log << "[WRITE] end\n";
    if (inspect) inspect(Conversion{tables, file, song, envelopes, combos});
}

}  // namespace

int runConversion(const RunIo& io, std::ostream& out, std::ostream& log, PrepObserver* observer,
                  const RunInspector& inspect, HintLines* hints) {
    // The run's bulk lists (the input, events, notes, bends) take their
    // memory from this arena, which is dropped last, once everything holding
    // them is gone: the input, held by `io`, is let go on every way out.
    BulkArena arena;
    struct InputDrop {
        const RunIo& io;
        ~InputDrop() {
            if (io.dropInput) io.dropInput();
        }
    } inputDrop{io};
    HintLines ownHints;
    HintLines& hintLines = hints ? *hints : ownHints;
    MappingTables tables;
    try {
        io.loadMapping(tables, log, hintLines);
    } catch (const std::exception& e) {
        // A malformed number in the mapping file stops the run before the
        // song is read. Its place, on the log, is seen before the message.
        log.flush();
        out << "error: " << e.what() << "\n";
        return 1;
    }

    const int32_t format = io.probeFormat();
    log << "[MIDI] format=" << format << "\n";
    if (format >= 0 && format != 1) {
        out << "error only supported MIDI is Format 1.\n";
        if (format == 0 && io.format0Hint) {
            hintLines.push_back(io.format0Hint());
            log << hintLines.back() << "\n";
        }
        return 1;
    }

    MidiFile file;
    log << "[MIDI] reading...\n";
    std::string reason;
    bool read = false;
    try {
        read = io.readMidi(file, reason);
    } catch (const std::bad_alloc&) {
        reason = "not enough memory to hold the song";
    }
    if (!read) {
        log << "[MIDI] " << reason << "\n";
        out << "read error\n";
        return 1;
    }
    log << "[MIDI] read OK\n";

    try {
        convertSong(tables, file, io, log, observer, inspect, hintLines);
    } catch (const std::bad_alloc&) {
        out << "error: not enough memory to convert this song\n";
        return 1;
    } catch (const TrackNameNumberError& e) {
        hintLines.push_back(trackNameNumberHintLine(e));
        log << hintLines.back() << "\n";
        log.flush();  // the place shows before the error it explains
        out << "error: " << e.what() << "\n";
        return 1;
    } catch (const std::exception& e) {
        out << "error: " << e.what() << "\n";
        return 1;
    }
    out << "Convert done\n";
    return 0;
}

int runTonequill(const std::vector<std::string>& args, std::ostream& out, std::ostream& log, HintLines* hints) {
    if (args.empty()) {
        out << "\nTonequill Ver." << kRulesDate << "   tonequill-dev\nusage\ntonequill input.mid\n";
        return 0;
    }
    const std::string& input = args[0];
    const std::string mappingPath = mappingFilePath(input);
    log << "[TVE] path=" << mappingPath << "\n";

    RunIo io = fileRunIo(input, mappingPath);
    const std::string output = outputPath(input);
    io.storeDocument = [&](const std::function<void(std::ostream&)>& write) { writeOutputFile(output, write); };
    io.format0Hint = [&] { return format0Hint(input); };
    return runConversion(io, out, log, nullptr, {}, hints);
}

RunIo fileRunIo(const std::string& input, const std::string& mappingPath) {
    // The input is opened and read once: the format probe looks at the bytes
    // the read then parses, so a FIFO or a pipe works like a file.
    struct Input {
        bool loaded = false;
        bool readable = false;
        BulkList<uint8_t> bytes;
        std::string reason;
    };
    auto held = std::make_shared<Input>();
    auto load = [held, input]() -> Input& {
        if (!held->loaded) {
            held->loaded = true;
            held->readable = readMidiFileBytes(input, held->bytes, held->reason);
        }
        return *held;
    };
    RunIo io;
    io.loadMapping = [mappingPath](MappingTables& tables, std::ostream& log, HintLines& hints) {
        loadMappingFile(tables, mappingPath, log, &hints);
    };
    io.probeFormat = [load] {
        const Input& in = load();
        return in.readable ? probeMidiFormatBytes(in.bytes) : -1;
    };
    io.dropInput = [held] { held->bytes = BulkList<uint8_t>(); };
    io.readMidi = [load](MidiFile& file, std::string& reason) {
        Input& in = load();
        if (!in.readable) {
            reason = in.reason;
            return false;
        }
        const bool ok = readMidiBytes(file, in.bytes, reason);
        in.bytes = BulkList<uint8_t>();  // the events hold all that is needed now
        return ok;
    };
    return io;
}

int runInMemory(std::span<const uint8_t> midi, std::string_view mappingText, std::string& document,
                std::ostream& out, std::ostream& log, int64_t maxDocumentBytes) {
    RunIo io;
    io.loadMapping = [&](MappingTables& tables, std::ostream&, HintLines&) { parseMappingText(tables, mappingText); };
    io.probeFormat = [&] { return probeMidiFormatBytes(midi); };
    io.readMidi = [&](MidiFile& file, std::string& reason) { return readMidiBytes(file, midi, reason); };
    io.storeDocument = [&](const std::function<void(std::ostream&)>& write) {
        std::stringbuf text;
        LimitedStreambuf limited(&text, maxDocumentBytes);
        std::ostream stream(&limited);
        stream.exceptions(std::ios::badbit);
        write(stream);
        document += text.str();
    };
    return runConversion(io, out, log);
}

}  // namespace tonequill
