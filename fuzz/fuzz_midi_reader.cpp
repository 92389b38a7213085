// Drives the MIDI reader alone on arbitrary bytes.
#include <cstdlib>
#include <string>

#include "midi/midi_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    tonequill::MidiFile file;
    std::string reason;
    const bool ok = tonequill::readMidiBytes(file, bytes, reason);
    if (ok) {
        // A successful read always has a sorted, non-empty tempo list and one name per track.
        if (file.tempoEvents.empty() || file.trackNames.size() != file.tracks.size()) std::abort();
        for (size_t i = 1; i < file.tempoEvents.size(); ++i) {
            if (file.tempoEvents[i - 1].tick > file.tempoEvents[i].tick) std::abort();
        }
    } else if (reason.empty()) {
        std::abort();  // a failed read always says why
    }
    (void)tonequill::probeMidiFormatBytes(bytes);
    return 0;
}
