#pragma once

// Waiting in tests: every wait has a deadline and looks whether what it waits
// for is still alive, so that a fault fails the test instead of hanging it.
// Deadlines are generous (a sanitizer build on a busy machine): they bound a
// hang, they measure nothing.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace arxtest {

using Seconds = std::chrono::seconds;

/// True once `done` holds; false when `alive` stops holding or the deadline
/// passes before.
inline bool waitUntil(const std::function<bool()>& done, const std::function<bool()>& alive,
                      Seconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!done()) {
        if (!alive() || std::chrono::steady_clock::now() > end) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

/// True while the child runs (it has not ended; it is left to be reaped).
inline bool running(pid_t child) {
    siginfo_t info{};
    return waitid(P_PID, child, &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

/// Reaps the child; one that is still running at the deadline is killed
/// first, and the answer is false.
inline bool reap(pid_t child, Seconds deadline, int& status) {
    const bool ended =
        waitUntil([child] { return !running(child); }, [] { return true; }, deadline);
    if (!ended) kill(child, SIGKILL);
    return waitpid(child, &status, 0) == child && ended;
}

/// One byte from the pipe `fd` within the deadline; false at its end (the
/// writer gone) or when late.
inline bool readByte(int fd, Seconds deadline) {
    pollfd ready{fd, POLLIN, 0};
    char byte = 0;
    return poll(&ready, 1, static_cast<int>(deadline.count() * 1000)) == 1 &&
           read(fd, &byte, 1) == 1;
}

/// A shell command that is ended (TERM, then KILL) when it outlasts the deadline.
inline std::string withDeadline(Seconds deadline, const std::string& command) {
    return "timeout -k 10 " + std::to_string(deadline.count()) + " " + command;
}

}  // namespace arxtest
