#pragma once

#include <QAbstractEventDispatcher>

#include <chrono>
#include <set>
#include <unordered_map>
#include <utility>

namespace shoulu {

// The timers of one thread's event dispatcher, kept by deadline: the part of a dispatcher that
// does not depend on how it waits.
class DispatcherTimers {
public:
    using Clock = std::chrono::steady_clock;

    // As QAbstractEventDispatcher's registerTimer, unregisterTimer, unregisterTimers,
    // registeredTimers and remainingTime.
    void add(int timerId, qint64 interval, Qt::TimerType timerType, QObject *object);
    bool remove(int timerId);
    bool removeAll(QObject *object);
    QList<QAbstractEventDispatcher::TimerInfo> of(QObject *object) const;
    int remainingTime(int timerId) const;

    // How long the dispatcher may wait for the next timer; -1 when none waits.
    int msUntilNext() const;
    // Fires the timers due; returns how many fired.
    int activateDue();

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

    void schedule(int timerId, Timer &timer, Clock::time_point deadline);
    void forget(Timers::iterator timer);
    bool fire(int timerId, quint64 serial, Clock::time_point now);

    Timers timers_;
    std::set<std::pair<Clock::time_point, int>> byDeadline_;
    std::unordered_multimap<QObject *, int> byObject_;
    quint64 nextSerial_ = 0;
};

} // namespace shoulu
