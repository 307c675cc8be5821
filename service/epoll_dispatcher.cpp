// Linux only: an event dispatcher that waits with epoll.
#include "service/epoll_dispatcher.h"

#include "service/dispatcher_timers.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <deque>
#include <memory>
#include <unordered_map>
#include <vector>

#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace shoulu {

namespace {

// Read, Write and Exception notifiers of one descriptor, indexed by QSocketNotifier::Type.
using FdNotifiers = std::array<QSocketNotifier *, 3>;

// What each notifier type waits for, and what wakes it: an error or a hang-up reaches the read
// and write notifiers, so the socket finds out about it.
constexpr std::array<uint32_t, 3> kWantedEvents = {EPOLLIN, EPOLLOUT, EPOLLPRI};
constexpr std::array<uint32_t, 3> kWakingEvents = {EPOLLIN | EPOLLERR | EPOLLHUP,
                                                   EPOLLOUT | EPOLLERR | EPOLLHUP, EPOLLPRI};
// Ready descriptors taken from the kernel at once; the rest wait for the next turn.
constexpr int kMaxEventsPerWait = 256;

uint32_t WantedEvents(const FdNotifiers &notifiers) {
    uint32_t events = 0;
    for (size_t type = 0; type < notifiers.size(); ++type) {
        if (notifiers[type]) {
            events |= kWantedEvents[type];
        }
    }
    return events;
}

// Waits with epoll, so a turn of the loop costs in proportion to the ready sockets rather than
// to all of them. Level-triggered, like Qt's poll: a socket whose bytes were left unread is
// reported again on the next turn.
class EpollEventDispatcher final : public QAbstractEventDispatcher {
public:
    EpollEventDispatcher();
    ~EpollEventDispatcher() override;
    bool isValid() const { return valid_; }

    bool processEvents(QEventLoop::ProcessEventsFlags flags) override;
    void registerSocketNotifier(QSocketNotifier *notifier) override;
    void unregisterSocketNotifier(QSocketNotifier *notifier) override;
    void registerTimer(int timerId, qint64 interval, Qt::TimerType timerType,
                       QObject *object) override;
    bool unregisterTimer(int timerId) override;
    bool unregisterTimers(QObject *object) override;
    QList<TimerInfo> registeredTimers(QObject *object) const override;
    int remainingTime(int timerId) override;
    void wakeUp() override;
    void interrupt() override;

private:
    void updateInterest(int fd, uint32_t before, uint32_t after);
    int waitForEvents(int timeoutMs, bool includeSockets);
    int waitForWakeUpOnly(int timeoutMs);
    void markPending(int fd, uint32_t events);
    int activatePendingNotifiers();
    void drainWakeUps();

    int epollFd_ = -1;
    int wakeFd_ = -1;
    bool valid_ = false;
    std::atomic<bool> wakeUpPending_{false};
    std::atomic<bool> interrupted_{false};
    std::unordered_map<int, FdNotifiers> sockets_;
    // Ready notifiers not activated yet; unregistering one takes it out, so none is touched
    // after a slot disabled or deleted it.
    std::deque<QSocketNotifier *> pending_;
    DispatcherTimers timers_;
};

EpollEventDispatcher::EpollEventDispatcher()
    : epollFd_(::epoll_create1(EPOLL_CLOEXEC))
    , wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (epollFd_ >= 0 && wakeFd_ >= 0) {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.fd = wakeFd_;
        valid_ = ::epoll_ctl(epollFd_, EPOLL_CTL_ADD, wakeFd_, &event) == 0;
    }
}

EpollEventDispatcher::~EpollEventDispatcher() {
    for (const int fd : {epollFd_, wakeFd_}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

bool EpollEventDispatcher::processEvents(QEventLoop::ProcessEventsFlags flags) {
    interrupted_ = false;
    emit awake();
    QCoreApplication::sendPostedEvents();
    if (interrupted_) {
        return false;
    }
    const bool includeSockets = !flags.testFlag(QEventLoop::ExcludeSocketNotifiers);
    const bool includeTimers = !flags.testFlag(QEventLoop::X11ExcludeTimers);
    int timeoutMs = 0;
    if (flags.testFlag(QEventLoop::WaitForMoreEvents)) {
        timeoutMs = includeTimers ? timers_.msUntilNext() : -1;
        if (timeoutMs != 0) {
            emit aboutToBlock();
        }
    }
    int done = waitForEvents(timeoutMs, includeSockets);
    if (includeSockets) {
        done += activatePendingNotifiers();
    }
    if (includeTimers) {
        done += timers_.activateDue();
    }
    return done > 0;
}

void EpollEventDispatcher::registerSocketNotifier(QSocketNotifier *notifier) {
    const int fd = int(notifier->socket());
    if (fd < 0) {
        qWarning("EpollEventDispatcher: a socket notifier without a descriptor");
        return;
    }
    FdNotifiers &notifiers = sockets_[fd];
    const uint32_t before = WantedEvents(notifiers);
    QSocketNotifier *&place = notifiers[notifier->type()];
    if (place && place != notifier) {
        qWarning("EpollEventDispatcher: two socket notifiers of one type for descriptor %d", fd);
    }
    place = notifier;
    updateInterest(fd, before, WantedEvents(notifiers));
}

void EpollEventDispatcher::unregisterSocketNotifier(QSocketNotifier *notifier) {
    std::erase(pending_, notifier);
    const int fd = int(notifier->socket());
    const auto it = sockets_.find(fd);
    if (it == sockets_.end() || it->second[notifier->type()] != notifier) {
        return;
    }
    const uint32_t before = WantedEvents(it->second);
    it->second[notifier->type()] = nullptr;
    const uint32_t after = WantedEvents(it->second);
    if (after == 0) {
        sockets_.erase(it);
    }
    updateInterest(fd, before, after);
}

// Brings the kernel's interest list in line with the notifiers now registered for fd.
void EpollEventDispatcher::updateInterest(int fd, uint32_t before, uint32_t after) {
    if (before == after) {
        return;
    }
    if (after == 0) {
        // A descriptor no notifier wants leaves the list: errors and hang-ups are reported even
        // with no events asked for. Closing it already took it out: EBADF and ENOENT say so.
        if (::epoll_ctl(epollFd_, EPOLL_CTL_DEL, fd, nullptr) != 0 && errno != EBADF &&
            errno != ENOENT) {
            qErrnoWarning("EpollEventDispatcher: epoll_ctl DEL %d", fd);
        }
        return;
    }
    epoll_event event{};
    event.events = after;
    event.data.fd = fd;
    const int op = before == 0 ? EPOLL_CTL_ADD : EPOLL_CTL_MOD;
    if (::epoll_ctl(epollFd_, op, fd, &event) == 0) {
        return;
    }
    // The kernel may know the descriptor otherwise than we do, after a close and reuse.
    const int retry = errno == EEXIST ? EPOLL_CTL_MOD : errno == ENOENT ? EPOLL_CTL_ADD : -1;
    if (retry < 0 || ::epoll_ctl(epollFd_, retry, fd, &event) != 0) {
        qErrnoWarning("EpollEventDispatcher: epoll_ctl %d", fd);
    }
}

// Waits up to timeoutMs (-1: until something happens), marks the ready notifiers and returns
// how many wake-ups came in.
int EpollEventDispatcher::waitForEvents(int timeoutMs, bool includeSockets) {
    if (!includeSockets) {
        return waitForWakeUpOnly(timeoutMs);
    }
    std::array<epoll_event, kMaxEventsPerWait> events;
    const int count = ::epoll_wait(epollFd_, events.data(), kMaxEventsPerWait, timeoutMs);
    if (count < 0 && errno != EINTR) {
        qErrnoWarning("EpollEventDispatcher: epoll_wait");
    }
    int wakeUps = 0;
    for (int i = 0; i < count; ++i) {
        if (events[i].data.fd == wakeFd_) {
            drainWakeUps();
            ++wakeUps;
        } else {
            markPending(events[i].data.fd, events[i].events);
        }
    }
    return wakeUps;
}

// Ready sockets must stay unreported here; level-triggered epoll would return them at once.
int EpollEventDispatcher::waitForWakeUpOnly(int timeoutMs) {
    pollfd wake{wakeFd_, POLLIN, 0};
    if (::poll(&wake, 1, timeoutMs) <= 0) {
        return 0;
    }
    drainWakeUps();
    return 1;
}

void EpollEventDispatcher::markPending(int fd, uint32_t events) {
    const auto it = sockets_.find(fd);
    if (it == sockets_.end()) {
        return;
    }
    for (size_t type = 0; type < it->second.size(); ++type) {
        if (it->second[type] && (events & kWakingEvents[type])) {
            pending_.push_back(it->second[type]);
        }
    }
}

int EpollEventDispatcher::activatePendingNotifiers() {
    int activated = 0;
    while (!pending_.empty()) {
        QSocketNotifier *notifier = pending_.front();
        pending_.pop_front();
        QEvent event(QEvent::SockAct);
        QCoreApplication::sendEvent(notifier, &event);
        ++activated;
    }
    return activated;
}

void EpollEventDispatcher::drainWakeUps() {
    eventfd_t count = 0;
    [[maybe_unused]] const int drained = ::eventfd_read(wakeFd_, &count);
    wakeUpPending_ = false;
}

void EpollEventDispatcher::wakeUp() {
    // One write until the loop drains it: many posts from other threads cost one system call.
    if (!wakeUpPending_.exchange(true)) {
        [[maybe_unused]] const int written = ::eventfd_write(wakeFd_, 1);
    }
}

void EpollEventDispatcher::interrupt() {
    interrupted_ = true;
    wakeUp();
}

void EpollEventDispatcher::registerTimer(int timerId, qint64 interval, Qt::TimerType timerType,
                                         QObject *object) {
    timers_.add(timerId, interval, timerType, object);
}

bool EpollEventDispatcher::unregisterTimer(int timerId) {
    return timers_.remove(timerId);
}

bool EpollEventDispatcher::unregisterTimers(QObject *object) {
    return timers_.removeAll(object);
}

QList<QAbstractEventDispatcher::TimerInfo>
EpollEventDispatcher::registeredTimers(QObject *object) const {
    return timers_.of(object);
}

int EpollEventDispatcher::remainingTime(int timerId) {
    return timers_.remainingTime(timerId);
}

} // namespace

QAbstractEventDispatcher *NewScalableEventDispatcher() {
    auto dispatcher = std::make_unique<EpollEventDispatcher>();
    return dispatcher->isValid() ? dispatcher.release() : nullptr;
}

} // namespace shoulu
