#pragma once

#include <QByteArray>
#include <QProcess>
#include <QSslConfiguration>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <chrono>
#include <memory>
#include <optional>

namespace shoulu::testing {

// Where the build put shoulu-service, and the source tree (for examples/).
QString ServiceBinary();
QString SourceDir();

// Runs "shoulu-service ARGS" to completion (bounded); returns its exit code, -1 on a time-out.
int RunServiceCommand(const QStringList &args, QString *output = nullptr);

// A real shoulu-service process on a free loopback port, with a throwaway CA, server
// certificate and store in a temporary folder. The process is killed when this goes.
class ServiceProcess {
public:
    ServiceProcess();
    ~ServiceProcess();
    ServiceProcess(const ServiceProcess &) = delete;
    ServiceProcess &operator=(const ServiceProcess &) = delete;

    // Makes the certificates and imports csvPath (may be empty) into the store.
    bool prepare(const QString &csvPath, QString *error);
    // Writes csvText to a file and imports it.
    bool prepareWithCsv(const QByteArray &csvText, QString *error);
    // Starts the service with extraArgs and waits for its ready line.
    bool start(const QStringList &extraArgs, QString *error);
    // Ends the process: SIGTERM, then SIGKILL if it lingers. Returns its exit code, or -1 when
    // it had to be killed, crashed or was not running.
    int stop();
    // SIGKILL at once, as a crash would.
    void kill();
    bool isRunning() const;

    quint16 port() const { return port_; }
    qint64 pid() const { return process_ ? process_->processId() : 0; }
    QString baseUrl() const; // https://localhost:<port>
    QByteArray caPem() const { return caPem_; }
    QString folder() const { return dir_.path(); }
    QString dbPath() const;
    // Everything the process wrote to stderr so far.
    QString log();

private:
    QTemporaryDir dir_;
    std::unique_ptr<QProcess> process_;
    QByteArray caPem_;
    QByteArray stderr_;
    quint16 port_ = 0;
};

// Resident memory of a process in KiB, now or at its peak so far; -1 where the system does
// not tell.
enum class Resident { Now, Peak };
qint64 ResidentKiB(qint64 pid, Resident when = Resident::Now);

// TLS settings that trust the system's CAs plus caPem.
QSslConfiguration TrustingConfiguration(const QByteArray &caPem);

struct HttpResult {
    bool ok = false; // a complete answer arrived
    int status = 0;
    QByteArray body;
    QString error;
};

// One request through QNetworkAccessManager, bounded by timeout.
HttpResult HttpsRequest(const QByteArray &method, const QString &url, const QByteArray &caPem,
                        const QByteArray &body = {},
                        std::chrono::milliseconds timeout = std::chrono::seconds(20));

// Bytes written as they are over a TLS connection to localhost:port; reads until the server
// closes, a complete answer (by Content-Length) is in, or timeout passes.
struct RawResult {
    bool connected = false;
    bool closedByServer = false;
    QByteArray response;
    int status() const; // from the status line, 0 if none
    QByteArray body() const;
    // The status of every answer in turn, walked by Content-Length.
    QList<int> statuses() const;
};
// With untilClosed it reads every answer until the server closes (or timeout passes).
RawResult RawHttpsExchange(quint16 port, const QByteArray &caPem, const QByteArray &request,
                           std::chrono::milliseconds timeout = std::chrono::seconds(10),
                           bool untilClosed = false);

} // namespace shoulu::testing
