#pragma once

#include <string>
#include <vector>

namespace tonequill {

// A command line of the converter's programs: files, and the options every
// one of them knows.
struct CommandOptions {
    std::vector<std::string> files;  // the arguments that are no options, in order
    bool help = false;     // -h or --help
    bool version = false;  // --version
    std::string error;     // an unknown option: what was wrong; empty when none
};

// Reads `args` (without the program name). Options may stand anywhere before
// "--"; every argument after it is a file, so "-- -x.mid" names the file
// "-x.mid". Any other argument that starts with "-" is an error, a lone "-"
// too (the programs name their output after the input, so standard input
// cannot be one; "./-" names a file called "-").
CommandOptions parseCommandOptions(const std::vector<std::string>& args);

}  // namespace tonequill
