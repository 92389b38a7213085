#include "e2e_support.h"

#include <atomic>
#include <unistd.h>

namespace tonequill::testing {

namespace fs = std::filesystem;

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    path_ = fs::temp_directory_path() /
            ("tonequill-e2e-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(path_);
    fs::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

std::string quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    return out + "'";
}

RunResult runCommand(const std::string& command, const fs::path& workdir) {
    static std::atomic<int> counter{0};
    const std::string tag = std::to_string(::getpid()) + "-" + std::to_string(counter++);
    const fs::path outFile = fs::temp_directory_path() / ("tonequill-out-" + tag);
    const fs::path errFile = fs::temp_directory_path() / ("tonequill-err-" + tag);
    const std::string line = "cd " + quote(workdir.string()) + " && " + command + " >" + quote(outFile.string()) +
                             " 2>" + quote(errFile.string()) + " </dev/null";
    const int raw = std::system(line.c_str());
    RunResult result;
    if (raw != -1 && WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
    // The shell reports a child killed by a signal as 128 + signal.
    if (result.status > 128) result.status = -1;
    result.out = readText(outFile.string());
    result.log = readText(errFile.string());
    fs::remove(outFile);
    fs::remove(errFile);
    return result;
}

RunResult runProgram(const std::string& program, const std::vector<std::string>& args, const fs::path& workdir,
                     const std::vector<std::string>& launcher) {
    std::string command;
    for (const auto& word : launcher) command += quote(word) + " ";
    command += quote(program);
    for (const auto& a : args) command += " " + quote(a);
    return runCommand(command, workdir);
}

RunResult runBinary(const std::vector<std::string>& args, const fs::path& workdir,
                    const std::vector<std::string>& launcher) {
    return runProgram(TONEQUILL_BINARY, args, workdir, launcher);
}

RunResult runSplit(const std::vector<std::string>& args, const fs::path& workdir) {
    return runProgram(TONEQUILL_SPLIT_BINARY, args, workdir);
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

}  // namespace tonequill::testing
