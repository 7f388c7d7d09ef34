#include "interrupts.h"

#include <outputfile.h>

#include <QtGlobal>

#include <atomic>
#include <csignal>
#include <mutex>
#include <thread>

#ifdef Q_OS_UNIX
#include <pthread.h>
#endif

namespace {

std::mutex beforeExitMutex;
std::function<void()> beforeExitCallback;

} // namespace

Interrupts::Interrupts(std::function<void()> beforeExit)
{
    setBeforeExit(std::move(beforeExit));
#ifdef Q_OS_UNIX
    std::signal(SIGXFSZ, SIG_IGN);

    sigset_t interruptSignals;
    sigemptyset(&interruptSignals);
    sigaddset(&interruptSignals, SIGINT);
    sigaddset(&interruptSignals, SIGTERM);
    sigaddset(&interruptSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &interruptSignals, nullptr);

    std::thread([interruptSignals] {
        int number = 0;
        while (sigwait(&interruptSignals, &number) != 0) { }
        {
            std::lock_guard<std::mutex> lock(beforeExitMutex);
            if (beforeExitCallback)
                beforeExitCallback();
        }
        Convert::removeTemporaryFilesAndExit(128 + number);
    }).detach();
#endif
}

void Interrupts::setBeforeExit(std::function<void()> beforeExit)
{
    std::lock_guard<std::mutex> lock(beforeExitMutex);
    beforeExitCallback = std::move(beforeExit);
}
