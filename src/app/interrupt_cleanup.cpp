#include "app/interrupt_cleanup.h"

#include <csignal>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <pthread.h>
#include <unistd.h>
#endif

namespace tonequill {
namespace {

// Read by the signal handler: the path is complete whenever `watching` is set.
char watchedPath[4096];
volatile std::sig_atomic_t watching = 0;

constexpr int kSignals[] = {
    SIGINT,
    SIGTERM,
#ifndef _WIN32
    SIGHUP,
#endif
};

extern "C" void removeWatchedAndEnd(int signal) {
    if (watching != 0) {
#ifdef _WIN32
        _unlink(watchedPath);
#else
        ::unlink(watchedPath);
#endif
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

#ifndef _WIN32
sigset_t interruptSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int s : kSignals) sigaddset(&set, s);
    return set;
}
#endif

}  // namespace

void installInterruptCleanup() {
    for (int s : kSignals) {
#ifdef _WIN32
        std::signal(s, removeWatchedAndEnd);
#else
        struct sigaction action {};
        struct sigaction previous {};
        // A signal that the caller's shell set to be ignored stays ignored.
        if (::sigaction(s, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        action.sa_handler = removeWatchedAndEnd;
        sigemptyset(&action.sa_mask);
        ::sigaction(s, &action, nullptr);
#endif
    }
}

#ifdef _WIN32
InterruptsHeld::InterruptsHeld() = default;
InterruptsHeld::~InterruptsHeld() = default;
#else
InterruptsHeld::InterruptsHeld() {
    const sigset_t set = interruptSet();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}
InterruptsHeld::~InterruptsHeld() {
    const sigset_t set = interruptSet();
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}
#endif

void watchTemporaryFile(const std::string& path) {
    watching = 0;
    if (path.empty() || path.size() >= sizeof watchedPath) return;
    std::memcpy(watchedPath, path.c_str(), path.size() + 1);
    watching = 1;
}

}  // namespace tonequill
