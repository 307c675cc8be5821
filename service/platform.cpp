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

#ifdef Q_OS_LINUX
#include <QAbstractEventDispatcher>
#include <QTimerEvent>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <deque>
#include <memory>
#include <set>
#include <unordered_map>
#include <vector>

#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
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

#ifdef Q_OS_LINUX

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

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

int MillisecondsUntil(Clock::time_point deadline, Clock::time_point now) {
    // Rounded up, so a wait never ends just before a deadline and then spins.
    const auto left = std::chrono::ceil<milliseconds>(deadline - now).count();
    return int(std::clamp<qint64>(left, 0, INT_MAX));
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
    struct Timer {
        qint64 interval;
        Qt::TimerType type;
        QObject *object;
        Clock::time_point deadline;
        // Tells a timer from a later one registered under the same id.
        quint64 serial;
        // In its receiver's timerEvent: a nested event loop must not fire it again.
        bool firing = false;
    };
    using Timers = std::unordered_map<int, Timer>;

    void updateInterest(int fd, uint32_t before, uint32_t after);
    int waitForEvents(int timeoutMs, bool includeSockets);
    int waitForWakeUpOnly(int timeoutMs);
    void markPending(int fd, uint32_t events);
    int activatePendingNotifiers();
    void drainWakeUps();
    int msUntilNextTimer() const;
    void schedule(int timerId, Timer &timer, Clock::time_point deadline);
    void forget(Timers::iterator timer);
    int activateDueTimers();
    bool fire(int timerId, quint64 serial, Clock::time_point now);

    int epollFd_ = -1;
    int wakeFd_ = -1;
    bool valid_ = false;
    std::atomic<bool> wakeUpPending_{false};
    std::atomic<bool> interrupted_{false};
    std::unordered_map<int, FdNotifiers> sockets_;
    // Ready notifiers not activated yet; unregistering one takes it out, so none is touched
    // after a slot disabled or deleted it.
    std::deque<QSocketNotifier *> pending_;
    Timers timers_;
    std::set<std::pair<Clock::time_point, int>> byDeadline_;
    std::unordered_multimap<QObject *, int> byObject_;
    quint64 nextSerial_ = 0;
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
        timeoutMs = includeTimers ? msUntilNextTimer() : -1;
        if (timeoutMs != 0) {
            emit aboutToBlock();
        }
    }
    int done = waitForEvents(timeoutMs, includeSockets);
    if (includeSockets) {
        done += activatePendingNotifiers();
    }
    if (includeTimers) {
        done += activateDueTimers();
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
    if (timerId < 1 || interval < 0 || !object) {
        qWarning("EpollEventDispatcher: invalid timer %d", timerId);
        return;
    }
    unregisterTimer(timerId);
    Timer &timer = timers_[timerId];
    timer = Timer{interval, timerType, object, {}, ++nextSerial_};
    schedule(timerId, timer, Clock::now() + milliseconds(interval));
    byObject_.emplace(object, timerId);
}

bool EpollEventDispatcher::unregisterTimer(int timerId) {
    const auto it = timers_.find(timerId);
    if (it == timers_.end()) {
        return false;
    }
    forget(it);
    return true;
}

bool EpollEventDispatcher::unregisterTimers(QObject *object) {
    const auto [first, last] = byObject_.equal_range(object);
    if (first == last) {
        return false;
    }
    std::vector<int> ids;
    std::transform(first, last, std::back_inserter(ids),
                   [](const auto &entry) { return entry.second; });
    for (const int id : ids) {
        unregisterTimer(id);
    }
    return true;
}

QList<QAbstractEventDispatcher::TimerInfo>
EpollEventDispatcher::registeredTimers(QObject *object) const {
    QList<TimerInfo> infos;
    const auto [first, last] = byObject_.equal_range(object);
    for (auto it = first; it != last; ++it) {
        const Timer &timer = timers_.at(it->second);
        infos.append(TimerInfo(it->second, int(timer.interval), timer.type));
    }
    return infos;
}

int EpollEventDispatcher::remainingTime(int timerId) {
    const auto it = timers_.find(timerId);
    return it == timers_.end() ? -1 : MillisecondsUntil(it->second.deadline, Clock::now());
}

void EpollEventDispatcher::schedule(int timerId, Timer &timer, Clock::time_point deadline) {
    byDeadline_.erase({timer.deadline, timerId});
    timer.deadline = deadline;
    byDeadline_.emplace(deadline, timerId);
}

void EpollEventDispatcher::forget(Timers::iterator timer) {
    const int id = timer->first;
    byDeadline_.erase({timer->second.deadline, id});
    const auto [first, last] = byObject_.equal_range(timer->second.object);
    const auto entry =
        std::find_if(first, last, [id](const auto &candidate) { return candidate.second == id; });
    if (entry != last) {
        byObject_.erase(entry);
    }
    timers_.erase(timer);
}

// -1 when no timer waits.
int EpollEventDispatcher::msUntilNextTimer() const {
    for (const auto &[deadline, id] : byDeadline_) {
        if (!timers_.at(id).firing) {
            return MillisecondsUntil(deadline, Clock::now());
        }
    }
    return -1;
}

// Fires each timer due now once; those due again meanwhile, zero-interval ones included, wait
// for the next pass, after the sockets had their turn.
int EpollEventDispatcher::activateDueTimers() {
    const Clock::time_point now = Clock::now();
    std::vector<std::pair<int, quint64>> due;
    for (const auto &[deadline, id] : byDeadline_) {
        if (deadline > now) {
            break;
        }
        due.emplace_back(id, timers_.at(id).serial);
    }
    int fired = 0;
    for (const auto &[id, serial] : due) {
        fired += fire(id, serial, now) ? 1 : 0;
    }
    return fired;
}

bool EpollEventDispatcher::fire(int timerId, quint64 serial, Clock::time_point now) {
    auto it = timers_.find(timerId);
    if (it == timers_.end() || it->second.serial != serial || it->second.firing) {
        return false;
    }
    Timer &timer = it->second;
    // Rescheduled before the receiver runs, which may kill or restart it; periods missed
    // while the thread was busy are skipped rather than made up in a burst.
    Clock::time_point next = timer.deadline + milliseconds(timer.interval);
    if (next < now) {
        next = now + milliseconds(timer.interval);
    }
    schedule(timerId, timer, next);
    timer.firing = true;
    QTimerEvent event(timerId);
    QCoreApplication::sendEvent(timer.object, &event);
    it = timers_.find(timerId);
    if (it != timers_.end() && it->second.serial == serial) {
        it->second.firing = false;
    }
    return true;
}

} // namespace

QAbstractEventDispatcher *NewScalableEventDispatcher() {
    auto dispatcher = std::make_unique<EpollEventDispatcher>();
    return dispatcher->isValid() ? dispatcher.release() : nullptr;
}

#else

QAbstractEventDispatcher *NewScalableEventDispatcher() {
    return nullptr;
}

#endif

} // namespace shoulu
