#include <iostream>
#include <string>
#include <vector>

#include "app/buffered_streambuf.h"
#include "app/interrupt_cleanup.h"
#include "app/run.h"

int main(int argc, char** argv) {
    tonequill::installInterruptCleanup();
    std::vector<std::string> args;
    if (argc >= 2) args.emplace_back(argv[1]);  // further arguments are ignored
    // The log goes out in blocks, and all of it before the process ends.
    tonequill::BufferedStreambuf logBuffer(std::cerr.rdbuf());
    std::ostream log(&logBuffer);
    int status = 1;
    try {
        status = tonequill::runTonequill(args, std::cout, log);
    } catch (...) {
        log.flush();
        throw;
    }
    log.flush();
    std::cout.flush();
    return status;
}
