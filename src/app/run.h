#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "mapping/mapping_tables.h"
#include "midi/midi_file.h"

namespace tonequill {

// The mapping file beside the input ("dir/tve.txt") when it can be opened,
// else "tve.txt" in the working directory. Both "/" and "\\" separate folders.
std::string mappingFilePath(const std::string& input);

// The input up to its last "." followed by ".mml" (the whole input when it has no dot).
std::string outputPath(const std::string& input);

// Prepares the song and writes the document to `output`.
void convertSong(MappingTables& tables, const MidiFile& file, const std::string& output, std::ostream& log);

// The whole run: `args` are the command-line arguments without the program
// name. Messages go to `out`, progress lines to `log`. Returns the exit status.
int runTonequill(const std::vector<std::string>& args, std::ostream& out, std::ostream& log);

}  // namespace tonequill
