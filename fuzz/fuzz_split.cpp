// Drives tonequill-split's reader and writer on arbitrary bytes.
#include <cstdlib>
#include <string>

#include "midi/midi_reader.h"
#include "split/split_format0.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    const tonequill::SplitResult split = tonequill::splitFormat0(bytes);
    if (!split.error.empty()) {
        if (!split.midi.empty()) std::abort();  // a refusal writes nothing
        return 0;
    }
    // What it writes is a format-1 file with one chunk per track, which the
    // converter reads (unless the song itself holds a tempo the converter
    // refuses) and which is not split again.
    if (tonequill::probeMidiFormatBytes(split.midi) != 1) std::abort();
    tonequill::MidiFile file;
    std::string reason;
    if (tonequill::readMidiBytes(file, split.midi, reason)) {
        if (file.tracks.size() != split.tracks.size()) std::abort();
    } else if (reason.find("Set Tempo of 0") == std::string::npos) {
        std::abort();
    }
    if (tonequill::splitFormat0(split.midi).error.empty()) std::abort();
    return 0;
}
