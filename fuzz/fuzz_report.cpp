// Drives tonequill-report on files, as a musician runs it: the song and the
// mapping file are read from disk, the report watches preparation, and the
// piano roll goes through the safe file replace.
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "fuzz_input.h"
#include "app/report_command.h"

namespace {

// A folder of this process's own for the files of each input.
const std::string& workFolder() {
    static const std::string folder = [] {
        char name[] = "/tmp/tonequill-fuzz-report-XXXXXX";
        if (::mkdtemp(name) == nullptr) std::abort();
        return std::string(name);
    }();
    return folder;
}

void writeFile(const std::string& path, const void* bytes, size_t size) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto input = tonequill::fuzzing::splitInput(data, size);
    const std::string& folder = workFolder();
    writeFile(folder + "/song.mid", input.midi.data(), input.midi.size());
    writeFile(folder + "/tve.txt", input.mapping.data(), input.mapping.size());
    std::ostringstream out;
    const int status = tonequill::runReportCommand({"--svg", folder + "/roll.svg", folder + "/song.mid"}, out);
    // Every run ends with a report or with status 1 and a message.
    if ((status != 0 && status != 1) || out.str().empty()) {
        std::cerr << "unexpected end of report: status " << status << ", output '" << out.str() << "'\n";
        std::abort();
    }
    return 0;
}
