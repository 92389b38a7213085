#include <iostream>
#include <string>
#include <vector>

#include "app/buffered_streambuf.h"
#include "app/interrupt_cleanup.h"
#include "app/tonequill_command.h"

int main(int argc, char** argv) {
    tonequill::installInterruptCleanup();
    const std::vector<std::string> args(argv + 1, argv + argc);
    // The log goes out in blocks, and all of it before the process ends.
    tonequill::BufferedStreambuf logBuffer(std::cerr.rdbuf());
    std::ostream log(&logBuffer);
    int status = 1;
    try {
        status = tonequill::runTonequillCommand(args, std::cout, log);
    } catch (...) {
        log.flush();
        throw;
    }
    log.flush();
    std::cout.flush();
    return status;
}
