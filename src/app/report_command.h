#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "app/limited_streambuf.h"

namespace tonequill {

// tonequill-report: runs the converter's stages on a MIDI file without
// writing any .mml and prints what happened to every note. `args` are the
// arguments without the program name. The report and the converter's
// messages go to `out`, the hints the converter logs included (before its
// message when the run fails); nothing goes to standard error. Returns the exit
// status: 0, or 1 where the converter fails (and for a bad command line or
// an SVG file that cannot be written). The converter's limits hold, with its
// messages; `maxDocumentBytes` is its document limit.
int runReportCommand(const std::vector<std::string>& args, std::ostream& out,
                     int64_t maxDocumentBytes = kMaxDocumentBytes);

}  // namespace tonequill
