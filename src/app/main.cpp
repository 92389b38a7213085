#include <iostream>
#include <string>
#include <vector>

#include "app/buffered_streambuf.h"
#include "app/run.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

// A conversion builds and drops a few lists of a million entries one after
// another. By default the C library hands each freed large block back to the
// system and maps fresh, zeroed pages for the next; kept for reuse instead,
// they spare the run a page fault every 4 KiB.
void keepFreedMemoryForReuse() {
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
#endif
}

}  // namespace

int main(int argc, char** argv) {
    keepFreedMemoryForReuse();
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
