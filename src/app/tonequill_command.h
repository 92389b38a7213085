#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "app/run.h"

namespace tonequill {

// The tonequill command: `args` are the arguments without the program name.
// -h/--help and --version answer on `out`; an unknown option is reported on
// `log` (standard error) with the usage. Otherwise every file is converted
// in turn exactly as runTonequill converts one alone, its messages on `out`
// and its progress lines on `log`; with no file the banner is shown.
// Returns 0, or 1 when any file failed or the command line is wrong.
// `hints`, when given, gets every hint line of every file as it is logged.
int runTonequillCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& log,
                        HintLines* hints = nullptr);

}  // namespace tonequill
