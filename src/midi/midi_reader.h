#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "midi/midi_file.h"

namespace tonequill {

// The format word of the file's header (0 to 65535), or -1 when the file
// cannot be opened, is shorter than 10 bytes, does not start with "MThd" or
// declares a header length below 6.
int32_t probeMidiFormat(const std::string& path);
int32_t probeMidiFormatBytes(std::span<const uint8_t> bytes);

// Fills `file` from the Standard MIDI File at `path`. Returns false when the
// file cannot be read as one; `reason` then says what was wrong and where.
bool readMidiFile(MidiFile& file, const std::string& path, std::string& reason);
bool readMidiFile(MidiFile& file, const std::string& path);
bool readMidiBytes(MidiFile& file, std::span<const uint8_t> bytes, std::string& reason);

}  // namespace tonequill
