#include "service/dispatcher_timers.h"

#include <QCoreApplication>
#include <QTimerEvent>

#include <algorithm>
#include <climits>

namespace shoulu {

namespace {

using std::chrono::milliseconds;

int MillisecondsUntil(DispatcherTimers::Clock::time_point deadline,
                      DispatcherTimers::Clock::time_point now) {
    // Rounded up, so a wait never ends just before a deadline and then spins.
    const auto left = std::chrono::ceil<milliseconds>(deadline - now).count();
    return int(std::clamp<qint64>(left, 0, INT_MAX));
}

} // namespace

void DispatcherTimers::add(int timerId, qint64 interval, Qt::TimerType timerType, QObject *object) {
    if (timerId < 1 || interval < 0 || !object) {
        qWarning("DispatcherTimers: invalid timer %d", timerId);
        return;
    }
    remove(timerId);
    Timer &timer = timers_[timerId];
    timer = Timer{interval, timerType, object, {}, ++nextSerial_};
    schedule(timerId, timer, Clock::now() + milliseconds(interval));
    byObject_.emplace(object, timerId);
}

bool DispatcherTimers::remove(int timerId) {
    const auto it = timers_.find(timerId);
    if (it == timers_.end()) {
        return false;
    }
    forget(it);
    return true;
}

bool DispatcherTimers::removeAll(QObject *object) {
    const auto [first, last] = byObject_.equal_range(object);
    if (first == last) {
        return false;
    }
    std::vector<int> ids;
    std::transform(first, last, std::back_inserter(ids),
                   [](const auto &entry) { return entry.second; });
    for (const int id : ids) {
        remove(id);
    }
    return true;
}

QList<QAbstractEventDispatcher::TimerInfo> DispatcherTimers::of(QObject *object) const {
    QList<QAbstractEventDispatcher::TimerInfo> infos;
    const auto [first, last] = byObject_.equal_range(object);
    for (auto it = first; it != last; ++it) {
        const Timer &timer = timers_.at(it->second);
        infos.append(
            QAbstractEventDispatcher::TimerInfo(it->second, int(timer.interval), timer.type));
    }
    return infos;
}

int DispatcherTimers::remainingTime(int timerId) const {
    const auto it = timers_.find(timerId);
    return it == timers_.end() ? -1 : MillisecondsUntil(it->second.deadline, Clock::now());
}

void DispatcherTimers::schedule(int timerId, Timer &timer, Clock::time_point deadline) {
    byDeadline_.erase({timer.deadline, timerId});
    timer.deadline = deadline;
    byDeadline_.emplace(deadline, timerId);
}

void DispatcherTimers::forget(Timers::iterator timer) {
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
int DispatcherTimers::msUntilNext() const {
    for (const auto &[deadline, id] : byDeadline_) {
        if (!timers_.at(id).firing) {
            return MillisecondsUntil(deadline, Clock::now());
        }
    }
    return -1;
}

// Fires each timer due now once; those due again meanwhile, zero-interval ones included, wait
// for the next pass, after the sockets had their turn.
int DispatcherTimers::activateDue() {
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

bool DispatcherTimers::fire(int timerId, quint64 serial, Clock::time_point now) {
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

} // namespace shoulu
