// The termination-signal handler: it notes the signal, makes a pipe readable
// for the waits that poll it, and hands the signal on to the handler it
// replaced.
#include "platform/termination.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace {

// Written by the signal handler, read by any thread.
std::atomic<bool> TerminationRequested{false};
int SignalPipe[2] = {-1, -1};
struct sigaction ReplacedTerm, ReplacedInt;

// Runs the replaced handler; false when that is the default action, which
// ends the process once this handler returns.
bool ChainSignal(int signal, const struct sigaction& replaced)
{
    if (!(replaced.sa_flags & SA_SIGINFO) && replaced.sa_handler == SIG_DFL) {
        std::signal(signal, SIG_DFL);
        raise(signal);
        return false;
    }
    if (replaced.sa_flags & SA_SIGINFO) {
        if (replaced.sa_sigaction)
            replaced.sa_sigaction(signal, nullptr, nullptr);
    } else if (replaced.sa_handler != SIG_IGN) {
        replaced.sa_handler(signal);
    }
    return true;
}

void OnTerminationSignal(int signal);

void PutInHandler(int signal)
{
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signal, &action, nullptr);
}

void OnTerminationSignal(int signal)
{
    int saved = errno;
    TerminationRequested = true;
    char byte = 1;
    if (write(SignalPipe[1], &byte, 1) < 0) {
        // The pipe is full: it is readable already.
    }
    // The video layer's handler puts itself back in our place: take it back.
    if (ChainSignal(signal, signal == SIGTERM ? ReplacedTerm : ReplacedInt))
        PutInHandler(signal);
    errno = saved;
}

}  // namespace

void WatchTerminationSignals()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        sigaction(SIGTERM, nullptr, &ReplacedTerm);
        sigaction(SIGINT, nullptr, &ReplacedInt);
        if (ReplacedTerm.sa_handler != SIG_IGN)
            PutInHandler(SIGTERM);
        if (ReplacedInt.sa_handler != SIG_IGN)
            PutInHandler(SIGINT);
    });
}

bool IsTerminationRequested()
{
    return TerminationRequested.load();
}

int TerminationEventFd()
{
    return SignalPipe[0];
}
