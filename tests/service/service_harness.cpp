#include "tests/service/service_harness.h"

#include "tests/support/https_test_server.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSslCertificate>
#include <QSslSocket>
#include <QThread>
#include <QTimer>

namespace shoulu::testing {

namespace {

using namespace std::chrono_literals;

bool WriteFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// Where the complete answer that starts at `at` ends, or -1 while it is incomplete.
qsizetype AnswerEnd(const QByteArray &response, qsizetype at) {
    static const QRegularExpression length(QStringLiteral("(?i)\r\ncontent-length: *(\\d+)"));
    const qsizetype end = response.indexOf("\r\n\r\n", at);
    if (end < 0) {
        return -1;
    }
    const auto match = length.match(QString::fromLatin1(response.sliced(at, end - at)));
    const qsizetype next = end + 4 + (match.hasMatch() ? match.captured(1).toLongLong() : 0);
    return match.hasMatch() && next <= response.size() ? next : -1;
}

} // namespace

QString ServiceBinary() {
    return QStringLiteral(SHOULU_SERVICE_BINARY);
}
QString SourceDir() {
    return QStringLiteral(SHOULU_SOURCE_DIR);
}

int RunServiceCommand(const QStringList &args, QString *output) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(ServiceBinary(), args);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(5000);
        return -1;
    }
    if (output) {
        *output = QString::fromUtf8(process.readAll());
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

ServiceProcess::ServiceProcess() = default;

ServiceProcess::~ServiceProcess() {
    stop();
}

QString ServiceProcess::dbPath() const {
    return dir_.filePath(QStringLiteral("counts.db"));
}

bool ServiceProcess::prepare(const QString &csvPath, QString *error) {
    if (!dir_.isValid()) {
        *error = QStringLiteral("no temporary folder");
        return false;
    }
    const auto certificates = MakeTestCertificates(error);
    if (!certificates) {
        return false;
    }
    caPem_ = certificates->caPem;
    if (!WriteFile(dir_.filePath(QStringLiteral("server.pem")),
                   certificates->serverCertificatePem) ||
        !WriteFile(dir_.filePath(QStringLiteral("server.key")), certificates->serverKeyPem)) {
        *error = QStringLiteral("cannot write the certificates");
        return false;
    }
    if (csvPath.isEmpty()) {
        return true;
    }
    QString output;
    const int code = RunServiceCommand(
        {QStringLiteral("import"), csvPath, QStringLiteral("--db"), dbPath()}, &output);
    if (code != 0) {
        *error = QStringLiteral("import failed (%1): %2").arg(code).arg(output);
        return false;
    }
    return true;
}

bool ServiceProcess::prepareWithCsv(const QByteArray &csvText, QString *error) {
    const QString csv = dir_.filePath(QStringLiteral("counts.csv"));
    if (!WriteFile(csv, csvText)) {
        *error = QStringLiteral("cannot write the CSV file");
        return false;
    }
    return prepare(csv, error);
}

bool ServiceProcess::start(const QStringList &extraArgs, QString *error) {
    stop();
    const QString logPath = dir_.filePath(QStringLiteral("service.log"));
    QFile::remove(logPath);
    process_ = std::make_unique<QProcess>();
    process_->setStandardOutputFile(QProcess::nullDevice());
    // A file never fills up, so the service can't block on a log nobody reads.
    process_->setStandardErrorFile(logPath);
    QStringList args = {QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"),
                        QStringLiteral("--cert"),   dir_.filePath(QStringLiteral("server.pem")),
                        QStringLiteral("--key"),    dir_.filePath(QStringLiteral("server.key")),
                        QStringLiteral("--db"),     dbPath()};
    args += extraArgs;
    process_->start(ServiceBinary(), args);
    if (!process_->waitForStarted(10000)) {
        *error = QStringLiteral("cannot start %1").arg(ServiceBinary());
        return false;
    }
    static const QRegularExpression ready(
        QStringLiteral("ready on https://(?:127\\.0\\.0\\.1|\\[::1\\]):(\\d+)"));
    const QDeadlineTimer deadline(30s);
    while (!deadline.hasExpired()) {
        const auto match = ready.match(log());
        if (match.hasMatch()) {
            port_ = static_cast<quint16>(match.captured(1).toUInt());
            return true;
        }
        if (process_->waitForFinished(50)) {
            *error = QStringLiteral("the service ended at start: ") + log();
            return false;
        }
    }
    *error = QStringLiteral("no ready line within 30 s: ") + log();
    stop();
    return false;
}

int ServiceProcess::stop() {
    if (!process_) {
        return -1;
    }
    int code = -1;
    if (process_->state() != QProcess::NotRunning) {
        process_->terminate();
        if (process_->waitForFinished(10000)) {
            code = process_->exitStatus() == QProcess::NormalExit ? process_->exitCode() : -1;
        } else {
            process_->kill();
            process_->waitForFinished(5000);
        }
    }
    process_.reset();
    return code;
}

void ServiceProcess::kill() {
    if (process_ && process_->state() != QProcess::NotRunning) {
        process_->kill();
        process_->waitForFinished(5000);
    }
}

bool ServiceProcess::isRunning() const {
    return process_ && process_->state() == QProcess::Running;
}

QString ServiceProcess::baseUrl() const {
    return QStringLiteral("https://localhost:%1").arg(port_);
}

QString ServiceProcess::log() {
    QFile file(dir_.filePath(QStringLiteral("service.log")));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

qint64 ResidentKiB(qint64 pid, Resident when) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    static const QRegularExpression now(QStringLiteral("VmRSS:\\s+(\\d+) kB"));
    static const QRegularExpression peak(QStringLiteral("VmHWM:\\s+(\\d+) kB"));
    const auto match =
        (when == Resident::Now ? now : peak).match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

QSslConfiguration TrustingConfiguration(const QByteArray &caPem) {
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    QList<QSslCertificate> cas = tls.caCertificates();
    cas += QSslCertificate::fromData(caPem);
    tls.setCaCertificates(cas);
    return tls;
}

HttpResult HttpsRequest(const QByteArray &method, const QString &url, const QByteArray &caPem,
                        const QByteArray &body, std::chrono::milliseconds timeout) {
    QNetworkAccessManager manager;
    QNetworkRequest request{QUrl(url)};
    request.setSslConfiguration(TrustingConfiguration(caPem));
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    if (method == "POST") {
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          QByteArray("application/x-www-form-urlencoded"));
    }
    QNetworkReply *reply = manager.sendCustomRequest(request, method, body);
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(timeout);
    loop.exec();
    HttpResult result;
    if (!reply->isFinished()) {
        reply->abort();
        result.error = QStringLiteral("timed out");
    } else {
        result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        result.body = reply->readAll();
        result.ok = result.status != 0;
        if (reply->error() != QNetworkReply::NoError) {
            result.error = reply->errorString();
        }
    }
    delete reply;
    return result;
}

int RawResult::status() const {
    if (!response.startsWith("HTTP/1.")) {
        return 0;
    }
    return response.mid(9, 3).toInt();
}

QByteArray RawResult::body() const {
    const qsizetype end = response.indexOf("\r\n\r\n");
    return end < 0 ? QByteArray() : response.mid(end + 4);
}

QList<int> RawResult::statuses() const {
    QList<int> found;
    for (qsizetype at = 0; QByteArrayView(response).sliced(at).startsWith("HTTP/1.");) {
        found.append(response.mid(at + 9, 3).toInt());
        at = AnswerEnd(response, at);
        if (at < 0) {
            break;
        }
    }
    return found;
}

RawResult RawHttpsExchange(quint16 port, const QByteArray &caPem, const QByteArray &request,
                           std::chrono::milliseconds timeout, bool untilClosed) {
    RawResult result;
    QSslSocket socket;
    socket.setSslConfiguration(TrustingConfiguration(caPem));
    const QDeadlineTimer deadline(timeout);
    socket.connectToHostEncrypted(QStringLiteral("localhost"), port);
    if (!socket.waitForEncrypted(static_cast<int>(deadline.remainingTime()))) {
        return result;
    }
    result.connected = true;
    socket.write(request);
    while (!deadline.hasExpired()) {
        if (socket.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())))) {
            result.response += socket.readAll();
            if (!untilClosed && AnswerEnd(result.response, 0) >= 0) {
                break;
            }
        } else if (socket.state() != QAbstractSocket::ConnectedState) {
            result.response += socket.readAll();
            result.closedByServer = true;
            break;
        }
    }
    return result;
}

} // namespace shoulu::testing
