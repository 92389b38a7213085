#include <iostream>
#include <string>
#include <vector>

#include "app/interrupt_cleanup.h"
#include "app/split_command.h"

int main(int argc, char** argv) {
    tonequill::installInterruptCleanup();
    const std::vector<std::string> args(argv + 1, argv + argc);
    const int status = tonequill::runSplitCommand(args, std::cout, std::cerr);
    std::cout.flush();
    return status;
}
