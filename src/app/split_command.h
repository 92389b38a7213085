#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tonequill {

// tonequill-split: rewrites a format-0 MIDI file as format 1, which
// tonequill converts. `args` are the arguments without the program name:
// the input and, optionally, the output (by default splitOutputPath of the
// input). What was written is told on `out`; errors, and the usage for a
// wrong command line, go to `err`. The output is written the way tonequill
// writes its documents and never replaces the input. Returns 0, or 1 when
// nothing was written.
int runSplitCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The line (without its line break) that tells how to make the format-0
// file at `input` convertible: hint: song.mid is format 0; "tonequill-split
// song.mid" writes song-f1.mid, which tonequill converts
std::string format0Hint(const std::string& input);

}  // namespace tonequill
