// shoulu-service: a local HTTPS stand-in for the query and version services.

#include "net/code_page.h"
#include "service/https_service.h"
#include "service/service_logic.h"
#include "service/store.h"
#include "service/tls_session.h"

#include "service/platform.h"
#include "service/service_log.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <chrono>
#include <cstdio>
#include <limits>
#include <memory>

namespace {

using namespace shoulu;

// Descriptors kept back from the connection cap for the store, the log and the listener.
constexpr long kSpareDescriptors = 64;

void Fail(const QString &message) {
    std::fprintf(stderr, "shoulu-service: %s\n", qUtf8Printable(message));
}

bool ReadFile(const QString &path, QByteArray *content, QString *error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    *content = file.readAll();
    return true;
}

std::shared_ptr<TlsContext> LoadTls(const QString &certPath, const QString &keyPath,
                                    QString *error) {
    QByteArray chain;
    QByteArray key;
    if (!ReadFile(certPath, &chain, error) || !ReadFile(keyPath, &key, error)) {
        return {};
    }
    std::shared_ptr<TlsContext> tls = TlsContext::FromPem(chain, key, error);
    if (!tls) {
        *error = QStringLiteral("%1 (%2, %3)").arg(*error, certPath, keyPath);
    }
    return tls;
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
    // Tokens are checked over GBK bytes: without GBK every Chinese domain would be refused.
    shoulu::RequireGbk();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Local HTTPS stand-in for the query and version services of shoulu.\n"
        "  shoulu-service --listen 127.0.0.1:18443 --cert server.pem --key server.key --db "
        "counts.db\n"
        "  shoulu-service import counts.csv --db counts.db"));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("Optional: \"import FILE.csv\" makes the file the "
                                                "store's content (with --merge: adds it) and "
                                                "exits."),
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
    const QCommandLineOption handshakeOption(
        QStringLiteral("handshake-timeout-ms"),
        QStringLiteral("Close connections whose TLS handshake takes longer (default 10000)."),
        QStringLiteral("MS"), QStringLiteral("10000"));
    const QCommandLineOption requestOption(
        QStringLiteral("request-timeout-ms"),
        QStringLiteral("Answer 408 and close when a request's headers, or its body, take longer "
                       "(default 60000)."),
        QStringLiteral("MS"), QStringLiteral("60000"));
    const ConnectionLimits limitDefaults;
    const QCommandLineOption maxConnectionsOption(
        QStringLiteral("max-connections"),
        QStringLiteral("Close new connections at once while this many are open (default %1; "
                       "lowered to fit the descriptor limit).")
            .arg(limitDefaults.maxConnections),
        QStringLiteral("N"), QString::number(limitDefaults.maxConnections));
    const QCommandLineOption logFileOption(
        QStringLiteral("log-file"),
        QStringLiteral("Write the request log to FILE instead of stderr, moving it to FILE.1 "
                       "when it reaches --log-max-bytes."),
        QStringLiteral("FILE"));
    const QCommandLineOption logMaxOption(QStringLiteral("log-max-bytes"),
                                          QStringLiteral("Size at which --log-file is moved "
                                                         "aside (default 8388608)."),
                                          QStringLiteral("BYTES"), QStringLiteral("8388608"));
    const QCommandLineOption mergeOption(
        QStringLiteral("merge"),
        QStringLiteral("With import: keep the store's other rows instead of replacing them."));
    parser.addOptions({listenOption, certOption, keyOption, dbOption, versionOption, sidOption,
                       mustOption, refuseOption, refuseMessageOption, idleOption, handshakeOption,
                       requestOption, maxConnectionsOption, logFileOption, logMaxOption,
                       mergeOption});
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
        const ImportMode mode = parser.isSet(mergeOption) ? ImportMode::Merge : ImportMode::Replace;
        if (!store.importCsv(positional[1], mode, &imported, &error)) {
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
    if (parser.isSet(mergeOption)) {
        Fail(QStringLiteral("--merge goes with import"));
        return 2;
    }
    auto positive = [&parser](const QCommandLineOption &option, qint64 *value) {
        bool ok = false;
        *value = parser.value(option).toLongLong(&ok);
        if (!ok || *value <= 0 || *value > std::numeric_limits<int>::max()) {
            Fail(QStringLiteral("--%1 wants a positive number").arg(option.names().first()));
            return false;
        }
        return true;
    };
    qint64 idleMs = 0;
    qint64 handshakeMs = 0;
    qint64 requestMs = 0;
    qint64 maxConnections = 0;
    qint64 logMaxBytes = 0;
    if (!positive(idleOption, &idleMs) || !positive(handshakeOption, &handshakeMs) ||
        !positive(requestOption, &requestMs) || !positive(maxConnectionsOption, &maxConnections) ||
        !positive(logMaxOption, &logMaxBytes)) {
        return 2;
    }
    ConnectionLimits limits;
    limits.idle = std::chrono::milliseconds(idleMs);
    limits.handshake = std::chrono::milliseconds(handshakeMs);
    limits.request = std::chrono::milliseconds(requestMs);
    // Each connection takes one descriptor: a cap above the limit would have accepting fail.
    const long descriptors =
        RaiseDescriptorLimit(static_cast<long>(maxConnections) + kSpareDescriptors);
    limits.maxConnections = static_cast<int>(
        descriptors < 0
            ? maxConnections
            : qMax<qint64>(1, qMin<qint64>(maxConnections, descriptors - kSpareDescriptors)));
    if (parser.isSet(logFileOption) &&
        !LogRequestsToFile(parser.value(logFileOption), logMaxBytes, &error)) {
        Fail(error);
        return 1;
    }
    const std::shared_ptr<TlsContext> tls =
        LoadTls(parser.value(certOption), parser.value(keyOption), &error);
    if (!tls) {
        Fail(error);
        return 1;
    }

    VersionSettings settings;
    settings.latestVersion = parser.value(versionOption);
    settings.sid = parser.value(sidOption);
    settings.must = parser.value(mustOption);
    settings.refuse = parser.isSet(refuseOption);
    settings.refuseMessage = parser.value(refuseMessageOption);

    // Each worker thread reads the store through a connection of its own.
    const QString dbPath = parser.value(dbOption);
    HttpsService service(
        [settings, dbPath](QString *error) -> RequestHandler {
            auto threadStore = std::make_shared<CountStore>();
            if (!threadStore->open(dbPath, error)) {
                return {};
            }
            auto logic = std::make_shared<ServiceLogic>(settings, threadStore.get());
            return
                [threadStore, logic](const RawRequest &request) { return logic->handle(request); };
        },
        limits);
    if (!service.start(address, port, tls, &error)) {
        Fail(error);
        return 1;
    }
    QuitOnSignals(app);
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? u'[' + address.toString() + u']'
                             : address.toString();
    std::fprintf(stderr,
                 "shoulu-service: ready on https://%s:%u (%d domains in store, at most %d "
                 "connections)\n",
                 qUtf8Printable(host), static_cast<unsigned>(service.port()), store.rowCount(),
                 limits.maxConnections);
    return app.exec();
}
