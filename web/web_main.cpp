// The browser's entry point: runs one of the programs on its command line,
// on files the page has put in the module's file system, and keeps what it
// printed for the page to read. Everything else is the native programs' code.
#include <emscripten/emscripten.h>

#include <exception>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/report_command.h"
#include "app/split_command.h"
#include "app/tonequill_command.h"

namespace {

std::string lastOut;
std::string lastLog;
std::string lastHints;  // the hint lines among the log's, one a line

// The arguments, one a line.
std::vector<std::string> argumentLines(std::string_view text) {
    std::vector<std::string> args;
    while (!text.empty()) {
        const auto end = text.find('\n');
        args.emplace_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return args;
}

}  // namespace

extern "C" {

// Runs "tonequill", "tonequill-report" or "tonequill-split" with `arguments`
// (one a line) and returns its exit status; standard output and standard
// error are kept, and tonequill's hint lines.
EMSCRIPTEN_KEEPALIVE int tonequill_web_run(const char* program, const char* arguments) {
    const std::string_view name(program);
    const std::vector<std::string> args = argumentLines(arguments);
    std::ostringstream out;
    std::ostringstream log;
    tonequill::HintLines hints;
    int status = 1;
    try {
        if (name == "tonequill") {
            status = tonequill::runTonequillCommand(args, out, log, &hints);
        } else if (name == "tonequill-report") {
            status = tonequill::runReportCommand(args, out);
        } else if (name == "tonequill-split") {
            status = tonequill::runSplitCommand(args, out, log);
        } else {
            out << "unknown program " << name << "\n";
        }
    } catch (const std::exception& e) {
        // What the native program would end on (memory running out, say).
        out << "error: " << e.what() << "\n";
        status = 1;
    }
    lastOut = std::move(out).str();
    lastLog = std::move(log).str();
    lastHints.clear();
    for (const std::string& hint : hints) lastHints += hint + "\n";
    return status;
}

EMSCRIPTEN_KEEPALIVE const char* tonequill_web_out() { return lastOut.data(); }
EMSCRIPTEN_KEEPALIVE int tonequill_web_out_size() { return static_cast<int>(lastOut.size()); }
EMSCRIPTEN_KEEPALIVE const char* tonequill_web_log() { return lastLog.data(); }
EMSCRIPTEN_KEEPALIVE int tonequill_web_log_size() { return static_cast<int>(lastLog.size()); }
EMSCRIPTEN_KEEPALIVE const char* tonequill_web_hints() { return lastHints.data(); }
EMSCRIPTEN_KEEPALIVE int tonequill_web_hints_size() { return static_cast<int>(lastHints.size()); }

}  // extern "C"
