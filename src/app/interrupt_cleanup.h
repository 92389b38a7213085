#pragma once

#include <string>

namespace tonequill {

// A program that writes files through temporary ones calls this once at the
// start: SIGINT, SIGTERM and SIGHUP then remove the temporary file in the
// making before the program ends as the signal says.
void installInterruptCleanup();

// While it lives, SIGINT, SIGTERM and SIGHUP wait (on this thread), so that
// a file can be created and made known to the cleanup in one step.
class InterruptsHeld {
public:
    InterruptsHeld();
    ~InterruptsHeld();
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;
};

// The temporary file an interrupt removes: one at a time; an empty path
// forgets it. Longer paths than the cleanup can hold are not watched.
void watchTemporaryFile(const std::string& path);

}  // namespace tonequill
