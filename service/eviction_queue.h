#pragma once

#include <QTimer>

#include <atomic>
#include <chrono>
#include <limits>
#include <list>

namespace shoulu {

class ServiceConnection;

// One worker's connections that may be closed to make room for a newcomer at the cap, oldest
// first: those waiting between requests, for the rest of a request, or to close after their
// last answer, which a client that sends its request at once never does for long, and
// handshakes once they have taken kMinEvictableAge, as they are likely to finish before then.
// Changed in the worker's thread only; the listener's thread counts on and claims them through
// atomics.
class EvictionQueue {
public:
    using Clock = std::chrono::steady_clock;
    enum class Kind { Handshake, Waiting };
    struct Entry {
        ServiceConnection *connection;
        Clock::time_point since;
        bool evictable;
    };
    using Place = std::list<Entry>::iterator;

    static constexpr std::chrono::seconds kMinEvictableAge{1};

    EvictionQueue();
    // Its timer runs in the worker's thread.
    void moveToThread(QThread *thread) { promote_.moveToThread(thread); }

    // Worker's thread: a connection joins at the back, or leaves of itself.
    Place add(ServiceConnection *connection, Kind kind);
    void remove(Place place);
    // The oldest evictable connection, out of the queue, for a claim; nullptr when none is
    // left, and the claim is given back.
    ServiceConnection *takeOldest();

    // Listener's thread: promises one evictable connection to a newcomer.
    bool claim();
    bool hasEvictable() const { return spare_ > 0; }
    // When the oldest evictable one joined, to choose among workers.
    Clock::rep oldestSince() const { return oldest_; }

private:
    void promoteAgedHandshakes();
    void noteOldest();

    std::list<Entry> young_;
    std::list<Entry> evictable_;
    QTimer promote_;
    // Evictable connections not yet claimed; below zero for a moment when a claimed one leaves
    // of itself before it is taken.
    std::atomic<int> spare_{0};
    std::atomic<Clock::rep> oldest_{std::numeric_limits<Clock::rep>::max()};
};

} // namespace shoulu
