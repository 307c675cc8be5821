// The only place with calls particular to one operating system.
#include "service/platform.h"

#include <QCoreApplication>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <csignal>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace shoulu {

#ifdef Q_OS_UNIX

namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

} // namespace

long RaiseDescriptorLimit(long wanted) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return -1;
    }
    const rlim_t target = limit.rlim_max == RLIM_INFINITY
                              ? static_cast<rlim_t>(wanted)
                              : qMin(static_cast<rlim_t>(wanted), limit.rlim_max);
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < target) {
        rlimit raised = limit;
        raised.rlim_cur = target;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) {
            limit = raised;
        }
    }
    return limit.rlim_cur == RLIM_INFINITY ? wanted : static_cast<long>(limit.rlim_cur);
}

void QuitOnSignals(QCoreApplication &app) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
        return;
    }
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);
}

#else

long RaiseDescriptorLimit(long) {
    return -1;
}

void QuitOnSignals(QCoreApplication &) {}

#endif

void ReleaseFreedMemory() {
#ifdef __GLIBC__
    // glibc keeps freed blocks in its arenas for the next allocation; after thousands of
    // connections have left, that can be hundreds of megabytes nobody uses.
    malloc_trim(0);
#endif
}

} // namespace shoulu
