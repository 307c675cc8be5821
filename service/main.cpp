// shoulu-service: a local HTTPS stand-in for the query and version services.

#include "service/https_service.h"
#include "service/service_logic.h"
#include "service/store.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QSslCertificate>
#include <QSslKey>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace shoulu;

int signalPipe[2] = {-1, -1};

void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT end the event loop, so the store is closed cleanly.
void QuitOnSignals(QCoreApplication &app) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
        return;
    }
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);
}

void Fail(const QString &message) {
    std::fprintf(stderr, "shoulu-service: %s\n", qUtf8Printable(message));
}

bool LoadTls(const QString &certPath, const QString &keyPath, QSslConfiguration *tls,
             QString *error) {
    QFile certFile(certPath);
    if (!certFile.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(certPath, certFile.errorString());
        return false;
    }
    const QList<QSslCertificate> chain = QSslCertificate::fromData(certFile.readAll());
    if (chain.isEmpty()) {
        *error = QStringLiteral("no PEM certificate in %1").arg(certPath);
        return false;
    }
    QFile keyFile(keyPath);
    if (!keyFile.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(keyPath, keyFile.errorString());
        return false;
    }
    const QByteArray keyPem = keyFile.readAll();
    QSslKey key;
    for (const QSsl::KeyAlgorithm algorithm : {QSsl::Ec, QSsl::Rsa}) {
        key = QSslKey(keyPem, algorithm, QSsl::Pem, QSsl::PrivateKey);
        if (!key.isNull()) {
            break;
        }
    }
    if (key.isNull()) {
        *error = QStringLiteral("no EC or RSA private key in %1").arg(keyPath);
        return false;
    }
    *tls = QSslConfiguration::defaultConfiguration();
    tls->setLocalCertificateChain(chain);
    tls->setPrivateKey(key);
    tls->setPeerVerifyMode(QSslSocket::VerifyNone); // clients are not asked for certificates
    return true;
}

bool ParseListen(const QString &text, QHostAddress *address, quint16 *port) {
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon <= 0) {
        return false;
    }
    QString host = text.first(colon);
    if (host.startsWith(u'[') && host.endsWith(u']')) {
        host = host.sliced(1, host.size() - 2);
    }
    bool ok = false;
    const uint value = text.sliced(colon + 1).toUInt(&ok);
    if (!ok || value > 65535 || !address->setAddress(host)) {
        return false;
    }
    *port = static_cast<quint16>(value);
    return true;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("shoulu-service"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Local HTTPS stand-in for the query and version services of shoulu.\n"
        "  shoulu-service --listen 127.0.0.1:18443 --cert server.pem --key server.key --db "
        "counts.db\n"
        "  shoulu-service import counts.csv --db counts.db"));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("Optional: \"import FILE.csv\" loads counts into "
                                                "the store and exits."),
                                 QStringLiteral("[import FILE.csv]"));
    const QCommandLineOption listenOption(
        QStringLiteral("listen"),
        QStringLiteral("Loopback address and port to serve on (port 0 picks a free one)."),
        QStringLiteral("ADDRESS:PORT"), QStringLiteral("127.0.0.1:18443"));
    const QCommandLineOption certOption(QStringLiteral("cert"),
                                        QStringLiteral("PEM server certificate (chain) file."),
                                        QStringLiteral("FILE"));
    const QCommandLineOption keyOption(QStringLiteral("key"),
                                       QStringLiteral("PEM private key file (EC or RSA)."),
                                       QStringLiteral("FILE"));
    const QCommandLineOption dbOption(
        QStringLiteral("db"), QStringLiteral("SQLite store of counts; created when missing."),
        QStringLiteral("FILE"));
    const VersionSettings defaults;
    const QCommandLineOption versionOption(
        QStringLiteral("latest-version"),
        QStringLiteral("info.version of the version check (default %1).")
            .arg(defaults.latestVersion),
        QStringLiteral("TEXT"), defaults.latestVersion);
    const QCommandLineOption sidOption(
        QStringLiteral("sid"),
        QStringLiteral("info.sid of the version check and the update page (default %1).")
            .arg(defaults.sid),
        QStringLiteral("TEXT"), defaults.sid);
    const QCommandLineOption mustOption(
        QStringLiteral("must"),
        QStringLiteral("info.must of the version check; \"0\" is optional (default %1).")
            .arg(defaults.must),
        QStringLiteral("TEXT"), defaults.must);
    const QCommandLineOption refuseOption(
        QStringLiteral("refuse"),
        QStringLiteral("Refuse every version check (result 0 with the refuse message)."));
    const QCommandLineOption refuseMessageOption(
        QStringLiteral("refuse-message"),
        QStringLiteral("Message of a refused version check (default \"%1\").")
            .arg(defaults.refuseMessage),
        QStringLiteral("TEXT"), defaults.refuseMessage);
    const QCommandLineOption idleOption(
        QStringLiteral("idle-timeout-ms"),
        QStringLiteral("Close connections silent for this long (default 15000)."),
        QStringLiteral("MS"), QStringLiteral("15000"));
    parser.addOptions({listenOption, certOption, keyOption, dbOption, versionOption, sidOption,
                       mustOption, refuseOption, refuseMessageOption, idleOption});
    parser.process(app);

    if (!parser.isSet(dbOption)) {
        Fail(QStringLiteral("--db FILE is required (see --help)"));
        return 2;
    }
    CountStore store;
    QString error;
    if (!store.open(parser.value(dbOption), &error)) {
        Fail(QStringLiteral("cannot open store %1: %2").arg(parser.value(dbOption), error));
        return 1;
    }

    const QStringList positional = parser.positionalArguments();
    if (!positional.isEmpty()) {
        if (positional.size() != 2 || positional[0] != QStringLiteral("import")) {
            Fail(QStringLiteral("unknown command; the only one is \"import FILE.csv\""));
            return 2;
        }
        int imported = 0;
        if (!store.importCsv(positional[1], &imported, &error)) {
            Fail(error);
            return 1;
        }
        std::fprintf(stderr, "shoulu-service: imported %d rows; the store holds %d domains\n",
                     imported, store.rowCount());
        return 0;
    }

    QHostAddress address;
    quint16 port = 0;
    if (!ParseListen(parser.value(listenOption), &address, &port)) {
        Fail(QStringLiteral("--listen wants ADDRESS:PORT, got \"%1\"")
                 .arg(parser.value(listenOption)));
        return 2;
    }
    if (!parser.isSet(certOption) || !parser.isSet(keyOption)) {
        Fail(QStringLiteral("--cert FILE and --key FILE are required (see --help)"));
        return 2;
    }
    bool idleOk = false;
    const int idleTimeoutMs = parser.value(idleOption).toInt(&idleOk);
    if (!idleOk || idleTimeoutMs <= 0) {
        Fail(QStringLiteral("--idle-timeout-ms wants a positive number"));
        return 2;
    }
    QSslConfiguration tls;
    if (!LoadTls(parser.value(certOption), parser.value(keyOption), &tls, &error)) {
        Fail(error);
        return 1;
    }

    VersionSettings settings;
    settings.latestVersion = parser.value(versionOption);
    settings.sid = parser.value(sidOption);
    settings.must = parser.value(mustOption);
    settings.refuse = parser.isSet(refuseOption);
    settings.refuseMessage = parser.value(refuseMessageOption);

    ServiceLogic logic(settings, &store);
    HttpsService service(&logic, idleTimeoutMs);
    if (!service.start(address, port, tls, &error)) {
        Fail(error);
        return 1;
    }
    QuitOnSignals(app);
    std::fprintf(stderr, "shoulu-service: ready on https://%s:%u (%d domains in store)\n",
                 qUtf8Printable(address.toString()), static_cast<unsigned>(service.port()),
                 store.rowCount());
    return app.exec();
}
