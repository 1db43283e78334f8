// SignalWatch: SIGINT and SIGTERM as input on a descriptor, so that a loop
// (a poll loop, Qt's event loop) ends a run as its own way out does, shared
// by the command-line tool and the Linux program.
//
// Made before any other thread starts, the signals are blocked in every
// thread and read from a signalfd (-1 if they cannot be watched: they then
// act as they always do). When the watch ends the process is on its way
// out: both are ignored from then on, which also drops one still pending
// (the loop only saw that one came, and a second may follow), and only then
// unblocked. One left pending and blocked would outlive the loop for
// nothing, and the leak checker of a sanitized build, stopping the threads
// at exit, never finishes while one is there.
#pragma once

#include <pthread.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <csignal>

class SignalWatch {
public:
    SignalWatch() {
        sigemptyset(&signals_);
        sigaddset(&signals_, SIGINT);
        sigaddset(&signals_, SIGTERM);
        if (pthread_sigmask(SIG_BLOCK, &signals_, nullptr) == 0) {
            fd_ = signalfd(-1, &signals_, SFD_NONBLOCK | SFD_CLOEXEC);
        }
    }
    ~SignalWatch() {
        if (fd_ >= 0) ::close(fd_);
        std::signal(SIGINT, SIG_IGN);
        std::signal(SIGTERM, SIG_IGN);
        pthread_sigmask(SIG_UNBLOCK, &signals_, nullptr);
    }
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

    int fd() const { return fd_; }

private:
    sigset_t signals_{};
    int fd_ = -1;
};
