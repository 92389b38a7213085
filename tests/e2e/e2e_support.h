#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "midi_builder.h"

namespace tonequill::testing {

struct RunResult {
    int status = -1;       // exit status, -1 when the process ended by a signal
    std::string out;       // standard output
    std::string log;       // standard error
};

// A fresh empty directory per test, removed at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    [[nodiscard]] std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// A word quoted for the shell.
std::string quote(const std::string& s);

// Runs a shell command line (its words already quoted) in `workdir`, with
// standard output and standard error kept apart.
RunResult runCommand(const std::string& command, const std::filesystem::path& workdir);

// Runs `program` with `args` in `workdir`; a `launcher` (such as setpriv and
// its options) goes before the program.
RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::filesystem::path& workdir, const std::vector<std::string>& launcher = {});

// Runs the real binary with `args` in the working directory `workdir`; a
// `launcher` (such as setpriv and its options) goes before the binary.
RunResult runBinary(const std::vector<std::string>& args, const std::filesystem::path& workdir,
                    const std::vector<std::string>& launcher = {});

// Runs the real tonequill-split with `args` in `workdir`.
RunResult runSplit(const std::vector<std::string>& args, const std::filesystem::path& workdir);

// Lines of a text, without their line breaks.
std::vector<std::string> linesOf(const std::string& text);

}  // namespace tonequill::testing
