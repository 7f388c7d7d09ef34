#ifndef INTERRUPTS_H
#define INTERRUPTS_H

#include <functional>

// Ctrl-C, a kill and a closed terminal end the command line cleanly: every
// temporary output file in flight is removed, outputs already renamed into
// place stay, and the process exits with 128 + the signal number (130 for
// SIGINT, 143 for SIGTERM, 129 for SIGHUP), as shells expect.
//
// The signals are blocked in every thread and taken by a thread of their
// own with sigwait(), so the clean-up runs as ordinary code, not in a
// signal handler, and can safely take the locks it needs. Construct it
// first thing in main(), before any other thread exists, so that every
// thread inherits the blocked mask.
//
// It also ignores SIGXFSZ: a write past the file size limit (ulimit -f)
// then fails with "file too large" for that one file instead of killing the
// whole batch.
class Interrupts
{
public:
    // beforeExit runs on the signal thread just before the clean-up (to
    // erase a progress line, say). It must not block for long.
    explicit Interrupts(std::function<void()> beforeExit = {});
    void setBeforeExit(std::function<void()> beforeExit);

    Interrupts(const Interrupts &) = delete;
    Interrupts &operator=(const Interrupts &) = delete;
};

#endif // INTERRUPTS_H
