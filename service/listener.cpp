#include "service/listener.h"

#include "service/platform.h"

#include <QTcpSocket>
#include <QThread>

#include <algorithm>

namespace shoulu {

using namespace std::chrono_literals;

namespace {

// Memory is given back once this many connections have gone, with their unsent answers.
constexpr int kReleaseAfterConnections = 500;

} // namespace

ServiceListener::ServiceListener(HandlerFactory handlers, ConnectionLimits limits, QObject *parent)
    : QTcpServer(parent)
    , handlers_(std::move(handlers)) {
    load_.limits = limits;
    // Accepting can stop on an error such as running out of descriptors; it resumes shortly
    // rather than never, and without spinning.
    connect(this, &QTcpServer::acceptError, this, [this] {
        pauseAccepting();
        QTimer::singleShot(100ms, this, &QTcpServer::resumeAccepting);
    });
    connect(&releaseCheck_, &QTimer::timeout, this, &ServiceListener::releaseMemoryOnceFreed);
    releaseCheck_.start(1s);
}

ServiceListener::~ServiceListener() {
    close();
    stopWorkers();
}

void ServiceListener::stopWorkers() {
    for (const auto &worker : workers_) {
        worker->stop();
    }
    workers_.clear();
}

bool ServiceListener::start(const QHostAddress &address, quint16 port,
                            const std::shared_ptr<TlsContext> &tls, QString *error) {
    if (!address.isLoopback()) {
        *error = QStringLiteral("refusing to listen on %1: only loopback addresses are served")
                     .arg(address.toString());
        return false;
    }
    // Two at least, so one busy worker leaves another free; more than four gain little here.
    const int count = std::clamp(QThread::idealThreadCount(), 2, 4);
    for (int i = 0; i < count; ++i) {
        auto *worker = workers_.emplace_back(std::make_unique<ServiceWorker>(tls, &load_)).get();
        bool built = false;
        QMetaObject::invokeMethod(
            worker, [&] { built = worker->build(handlers_, error); }, Qt::BlockingQueuedConnection);
        if (!built) {
            stopWorkers();
            return false;
        }
    }
    // Qt's default backlog of 50 overflows under a burst of connections, and a dropped SYN costs
    // a client a second or more before it tries again.
    setListenBacklogSize(1024);
    if (!listen(address, port)) {
        *error = errorString();
        stopWorkers();
        return false;
    }
    return true;
}

// Claims the oldest evictable connection of any worker and has it closed; false when there is
// none.
bool ServiceListener::makeRoom() {
    std::vector<ServiceWorker *> candidates;
    for (const auto &worker : workers_) {
        if (worker->evictionQueue().hasEvictable()) {
            candidates.push_back(worker.get());
        }
    }
    std::sort(candidates.begin(), candidates.end(), [](ServiceWorker *a, ServiceWorker *b) {
        return a->evictionQueue().oldestSince() < b->evictionQueue().oldestSince();
    });
    for (ServiceWorker *worker : candidates) {
        if (worker->evictionQueue().claim()) {
            QMetaObject::invokeMethod(worker, [worker] { worker->evictClaimed(); });
            return true;
        }
    }
    return false;
}

// The allocator keeps what thousands of clients leave behind, hundreds of megabytes, for
// allocations that may never come; once a crowd has gone it is made to give it back. Giving
// back holds up the workers' allocations for some tens of milliseconds, so it waits until the
// crowd has finished leaving, and is done once.
void ServiceListener::releaseMemoryOnceFreed() {
    const int open = load_.open;
    if (peakOpen_ - open >= kReleaseAfterConnections && open >= lastOpen_) {
        ReleaseFreedMemory();
        peakOpen_ = open;
    }
    peakOpen_ = std::max(peakOpen_, open);
    lastOpen_ = open;
}

void ServiceListener::incomingConnection(qintptr descriptor) {
    // At the cap, a connection that holds its place without using it makes room, so a flood of
    // them cannot lock the others out; the newcomer gets in only then, so the cap is passed only
    // for the moment the close takes. Below it nobody is closed: port checks come by the
    // thousand and leave at once.
    if (load_.open >= load_.limits.maxConnections && !makeRoom()) {
        QTcpSocket refused;
        if (refused.setSocketDescriptor(descriptor)) {
            refused.abort();
        }
        return;
    }
    ServiceWorker *worker =
        std::min_element(workers_.begin(), workers_.end(), [](const auto &a, const auto &b) {
            return a->assigned < b->assigned;
        })->get();
    ++load_.open;
    ++worker->assigned;
    QMetaObject::invokeMethod(worker, [worker, descriptor] { worker->adopt(descriptor); });
}

} // namespace shoulu
