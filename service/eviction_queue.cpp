#include "service/eviction_queue.h"

namespace shoulu {

EvictionQueue::EvictionQueue() {
    promote_.setSingleShot(true);
    QObject::connect(&promote_, &QTimer::timeout, [this] { promoteAgedHandshakes(); });
}

EvictionQueue::Place EvictionQueue::add(ServiceConnection *connection, Kind kind) {
    const Clock::time_point now = Clock::now();
    if (kind == Kind::Handshake) {
        if (young_.empty()) {
            promote_.start(kMinEvictableAge);
        }
        return young_.insert(young_.end(), {connection, now, false});
    }
    const Place place = evictable_.insert(evictable_.end(), {connection, now, true});
    ++spare_;
    noteOldest();
    return place;
}

void EvictionQueue::remove(Place place) {
    if (!place->evictable) {
        young_.erase(place);
        if (young_.empty()) {
            promote_.stop();
        }
        return;
    }
    evictable_.erase(place);
    --spare_;
    noteOldest();
}

ServiceConnection *EvictionQueue::takeOldest() {
    if (evictable_.empty()) {
        ++spare_;
        return nullptr;
    }
    // The claim already took it from spare_.
    ServiceConnection *oldest = evictable_.front().connection;
    evictable_.pop_front();
    noteOldest();
    return oldest;
}

bool EvictionQueue::claim() {
    int spare = spare_;
    while (spare > 0) {
        if (spare_.compare_exchange_weak(spare, spare - 1)) {
            return true;
        }
    }
    return false;
}

void EvictionQueue::promoteAgedHandshakes() {
    const Clock::time_point now = Clock::now();
    while (!young_.empty() && now - young_.front().since >= kMinEvictableAge) {
        young_.front().evictable = true;
        evictable_.splice(evictable_.end(), young_, young_.begin());
        ++spare_;
    }
    noteOldest();
    if (!young_.empty()) {
        promote_.start(std::chrono::ceil<std::chrono::milliseconds>(young_.front().since +
                                                                    kMinEvictableAge - now));
    }
}

void EvictionQueue::noteOldest() {
    oldest_ = evictable_.empty() ? std::numeric_limits<Clock::rep>::max()
                                 : evictable_.front().since.time_since_epoch().count();
}

} // namespace shoulu
