// Drives the whole conversion in memory: mapping file, MIDI reader,
// preparation, envelopes, combinations and the writer.
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "app/run.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto input = tonequill::fuzzing::splitInput(data, size);
    std::string document;
    std::ostringstream out;
    std::ostringstream log;
    // A smaller document limit than the command line's keeps fuzzing within its memory budget.
    const int status = tonequill::runInMemory(input.midi, input.mapping, document, out, log, int64_t{64} << 20);
    const std::string messages = out.str();
    // Every run ends with a document and "Convert done", or with status 1 and a message.
    const bool done = status == 0 && messages == "Convert done\n";
    const bool refused = status == 1 && !messages.empty() && messages.find("Convert done") == std::string::npos;
    if (!done && !refused) {
        std::cerr << "unexpected end of run: status " << status << ", output '" << messages << "'\n";
        std::abort();
    }
    if (done && (document.rfind("#Title", 0) != 0 || document.size() < 2 ||
                 document.compare(document.size() - 2, 2, "}\n") != 0)) {
        std::cerr << "incomplete document\n";
        std::abort();
    }
    return 0;
}
