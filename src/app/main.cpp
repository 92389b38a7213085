#include <iostream>
#include <string>
#include <vector>

#include "app/run.h"

int main(int argc, char** argv) {
    std::vector<std::string> args;
    if (argc >= 2) args.emplace_back(argv[1]);  // further arguments are ignored
    const int status = tonequill::runTonequill(args, std::cout, std::cerr);
    std::cout.flush();
    return status;
}
