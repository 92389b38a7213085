#include <iostream>
#include <string>
#include <vector>

#include "app/interrupt_cleanup.h"
#include "app/report_command.h"

int main(int argc, char** argv) {
    tonequill::installInterruptCleanup();
    std::vector<std::string> args(argv + 1, argv + argc);
    const int status = tonequill::runReportCommand(args, std::cout);
    std::cout.flush();
    return status;
}
