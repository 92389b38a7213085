#include <iostream>
#include <string>
#include <vector>

#include "report/report_command.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const int status = tonequill::runReportCommand(args, std::cout);
    std::cout.flush();
    return status;
}
