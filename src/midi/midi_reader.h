#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "midi/midi_file.h"

namespace tonequill {

// The format word of the file's header (0 to 65535), or -1 when the file
// cannot be opened, is shorter than 10 bytes, does not start with "MThd" or
// declares a header length below 6.
int32_t probeMidiFormat(const std::string& path);
int32_t probeMidiFormatBytes(std::span<const uint8_t> bytes);

// Reads the file at `path` once, whatever it is (a FIFO or a pipe too). A
// file that does not start with "MThd" is read no further than that. Returns
// false, with the reason, when it cannot be read or is larger than any song.
bool readMidiFileBytes(const std::string& path, BulkList<uint8_t>& bytes, std::string& reason);

// Fills `file` from the Standard MIDI File at `path`. Returns false when the
// file cannot be read as one; `reason` then says what was wrong and where.
bool readMidiFile(MidiFile& file, const std::string& path, std::string& reason);
bool readMidiFile(MidiFile& file, const std::string& path);
bool readMidiBytes(MidiFile& file, std::span<const uint8_t> bytes, std::string& reason);

}  // namespace tonequill
