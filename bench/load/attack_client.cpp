// The hostile side of the load benchmark: runs one kind of attack on shoulu-service for a
// bounded time while a normal client queries it every 100 ms on a fresh connection, and prints
// the normal query's latency and the service's peak resident memory.
//   bench_attack_client PORT CERT.pem SERVICE_PID KIND SECONDS QUERY_TARGET
// KIND: none, handshakes (abandoned and silent TLS handshakes), unread (clients that pipeline
// requests and never read), slow (2,000 clients sending a header byte every 5 s), or all.

#include "service/epoll_dispatcher.h"
#include "tests/service/service_harness.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr int kSlowClients = 2000;
constexpr int kHandshakesPerTick = 20; // every 10 ms: 2,000 a second
constexpr int kSilentHandshakes = 200;
constexpr int kUnreadClients = 4;

struct Attack {
    quint16 port = 0;
    QSslConfiguration tls;
    QByteArray query;
    qint64 pid = 0;
    std::vector<double> latencies;
    int failures = 0;
    qint64 peakKiB = 0;
    int open = 0;
};

QSslSocket *Connect(Attack &attack, QObject *parent) {
    auto *socket = new QSslSocket(parent);
    socket->setSslConfiguration(attack.tls);
    socket->setPeerVerifyName(QStringLiteral("localhost"));
    socket->connectToHostEncrypted(QStringLiteral("127.0.0.1"), attack.port);
    return socket;
}

// One normal query on a fresh connection, timed from connect to the complete answer.
void Probe(Attack &attack, QObject *context) {
    struct State {
        QElapsedTimer clock;
        QByteArray got;
        bool done = false;
    };
    auto *socket = Connect(attack, context);
    const auto state = std::make_shared<State>();
    state->clock.start();
    auto finish = [&attack, socket, state, context](bool ok) {
        if (state->done) {
            return;
        }
        state->done = true;
        ok ? attack.latencies.push_back(static_cast<double>(state->clock.nsecsElapsed()) / 1e6)
           : void(++attack.failures);
        socket->abort();
        socket->deleteLater();
        QTimer::singleShot(100ms, context, [&attack, context] { Probe(attack, context); });
    };
    QObject::connect(socket, &QSslSocket::encrypted, socket,
                     [&attack, socket] { socket->write(attack.query); });
    QObject::connect(socket, &QSslSocket::readyRead, socket, [socket, state, finish] {
        state->got += socket->readAll();
        if (state->got.contains("\"result\":1")) {
            finish(true);
        }
    });
    QTimer::singleShot(2s, socket, [finish] { finish(false); });
}

// A TLS client that sends one byte of a request every 5 s, and comes back when closed.
void SlowClient(Attack &attack, QObject *context) {
    auto *socket = Connect(attack, context);
    auto *drip = new QTimer(socket);
    QObject::connect(socket, &QSslSocket::encrypted, socket, [&attack, drip] {
        ++attack.open;
        drip->start(5s);
    });
    QObject::connect(drip, &QTimer::timeout, socket, [&attack, socket] {
        const int sent = socket->property("sent").toInt();
        socket->write(attack.query.sliced(sent % attack.query.size(), 1));
        socket->setProperty("sent", sent + 1);
    });
    QObject::connect(socket, &QSslSocket::disconnected, socket, [&attack, socket, context] {
        attack.open -= socket->isEncrypted() ? 1 : 0;
        socket->deleteLater();
        QTimer::singleShot(1s, context, [&attack, context] { SlowClient(attack, context); });
    });
}

// A kept-alive client that streams requests and never reads an answer.
void UnreadClient(Attack &attack, QObject *context) {
    auto *socket = Connect(attack, context);
    socket->setReadBufferSize(1024);
    const QByteArray burst = attack.query.repeated(200);
    auto *push = new QTimer(socket);
    QObject::connect(socket, &QSslSocket::encrypted, push, [push] { push->start(10ms); });
    QObject::connect(push, &QTimer::timeout, socket, [socket, burst] {
        if (socket->bytesToWrite() < 1024 * 1024) {
            socket->write(burst);
        }
    });
    QObject::connect(socket, &QSslSocket::disconnected, socket, [&attack, socket, context] {
        socket->deleteLater();
        QTimer::singleShot(100ms, context, [&attack, context] { UnreadClient(attack, context); });
    });
}

// Connects and leaves before or during the handshake, as port checks do; some stay silent.
void Handshakes(Attack &attack, QObject *context, int *silent) {
    for (int i = 0; i < kHandshakesPerTick; ++i) {
        auto *socket = new QTcpSocket(context);
        const bool keep = *silent < kSilentHandshakes;
        *silent += keep ? 1 : 0;
        QObject::connect(socket, &QTcpSocket::connected, socket, [socket, keep] {
            if (!keep) {
                socket->abort();
                socket->deleteLater();
            }
        });
        // An abort emits disconnected too: only the silent ones are counted back.
        QObject::connect(socket, &QTcpSocket::disconnected, socket, [socket, silent, keep] {
            *silent -= keep ? 1 : 0;
            socket->deleteLater();
        });
        QObject::connect(socket, &QTcpSocket::errorOccurred, socket, &QObject::deleteLater);
        socket->connectToHost(QStringLiteral("127.0.0.1"), attack.port);
    }
}

} // namespace

int main(int argc, char *argv[]) {
    // Thousands of open attacker sockets would make each turn of Qt's own loop poll them all,
    // and the attacker would take the CPU the service is measured on.
    if (QAbstractEventDispatcher *dispatcher = shoulu::NewScalableEventDispatcher()) {
        QCoreApplication::setEventDispatcher(dispatcher);
    }
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    static const QStringList kinds = {QStringLiteral("none"), QStringLiteral("handshakes"),
                                      QStringLiteral("unread"), QStringLiteral("slow"),
                                      QStringLiteral("all")};
    if (args.size() != 7 || !kinds.contains(args[4])) {
        std::fprintf(stderr, "usage: bench_attack_client PORT CERT.pem SERVICE_PID "
                             "none|handshakes|unread|slow|all SECONDS TARGET\n");
        return 2;
    }
    Attack attack;
    attack.port = static_cast<quint16>(args[1].toUInt());
    attack.tls = QSslConfiguration::defaultConfiguration();
    attack.tls.setCaCertificates(QSslCertificate::fromPath(args[2]));
    attack.pid = args[3].toLongLong();
    attack.query = "GET " + args[6].toLatin1() + " HTTP/1.1\r\nHost: localhost\r\n\r\n";
    const QString kind = args[4];
    const bool all = kind == QStringLiteral("all");

    // Declared before the attackers' parent: sockets torn down at exit still count themselves.
    int silent = 0;
    QObject context;
    QTimer handshakes;
    if (all || kind == QStringLiteral("handshakes")) {
        QObject::connect(&handshakes, &QTimer::timeout, &context,
                         [&] { Handshakes(attack, &context, &silent); });
        handshakes.start(10ms);
    }
    for (int i = 0; (all || kind == QStringLiteral("unread")) && i < kUnreadClients; ++i) {
        UnreadClient(attack, &context);
    }
    // The slow clients come in batches, so their own handshakes do not all land at once.
    QTimer slowStarter;
    int slowStarted = 0;
    if (all || kind == QStringLiteral("slow")) {
        QObject::connect(&slowStarter, &QTimer::timeout, &context, [&] {
            for (int i = 0; i < 100 && slowStarted < kSlowClients; ++i, ++slowStarted) {
                SlowClient(attack, &context);
            }
        });
        slowStarter.start(100ms);
    }
    QTimer memory;
    QObject::connect(&memory, &QTimer::timeout, &context, [&] {
        attack.peakKiB = std::max(attack.peakKiB, shoulu::testing::ResidentKiB(attack.pid));
    });
    memory.start(100ms);
    // The normal client has a thread of its own, so the attackers' work on this side does not
    // count in its latency.
    QThread probeThread;
    QObject probeContext;
    probeContext.moveToThread(&probeThread);
    probeThread.start();
    QMetaObject::invokeMethod(&probeContext, [&] { Probe(attack, &probeContext); });
    QTimer::singleShot(std::chrono::seconds(args[5].toInt()), &app, &QCoreApplication::quit);
    app.exec();
    // The probe's figures are read once its thread has stopped. Nothing is torn down: the
    // thousands of sockets still open would only be closed by the exit anyway.
    probeThread.quit();
    probeThread.wait();

    std::sort(attack.latencies.begin(), attack.latencies.end());
    const size_t n = attack.latencies.size();
    const double worst = n ? attack.latencies.back() : 0;
    const double p99 = n ? attack.latencies[std::min(n - 1, n * 99 / 100)] : 0;
    std::printf("%-11s normal query: %4zu answered, %d failed, p99 %7.1f ms, max %7.1f ms;  "
                "service RSS max %6.1f MB;  slow clients open %d\n",
                qPrintable(kind), n, attack.failures, p99, worst,
                static_cast<double>(attack.peakKiB) / 1024, attack.open);
    // Exit status: 0 when every probe was answered within 100 ms and memory stayed under 300 MB.
    std::fflush(stdout);
    std::_Exit(attack.failures == 0 && worst < 100 && attack.peakKiB < 300 * 1024 ? 0 : 1);
}
