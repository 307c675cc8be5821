// shoulu-service: a local HTTPS stand-in for the query and version services.

#include "net/code_page.h"
#include "service/listener.h"
#include "service/platform.h"
#include "service/service_log.h"
#include "service/service_logic.h"
#include "service/service_options.h"
#include "service/store.h"
#include "service/tls_session.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <memory>

namespace {

using namespace shoulu;

// Descriptors kept back from the connection cap for the store, the log and the listener.
constexpr long kSpareDescriptors = 64;

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

// Each connection takes one descriptor: a cap above the limit would have accepting fail.
int FitToDescriptors(int maxConnections) {
    const long descriptors = RaiseDescriptorLimit(long(maxConnections) + kSpareDescriptors);
    return descriptors < 0 ? maxConnections
                           : int(qBound(1L, descriptors - kSpareDescriptors, long(maxConnections)));
}

// Each worker thread reads the store through a connection of its own.
HandlerFactory Handlers(const VersionSettings &settings, const QString &dbPath) {
    return [settings, dbPath](QString *error) -> RequestHandler {
        auto store = std::make_shared<CountStore>();
        if (!store->open(dbPath, error)) {
            return {};
        }
        auto logic = std::make_shared<ServiceLogic>(settings, store.get());
        return [store, logic](const HttpRequest &request) { return logic->handle(request); };
    };
}

int Import(const ServiceOptions &options, CountStore &store) {
    int imported = 0;
    QString error;
    if (!store.importCsv(options.importPath,
                         options.merge ? ImportMode::Merge : ImportMode::Replace, &imported,
                         &error)) {
        SayOnStderr(error);
        return 1;
    }
    SayOnStderr(QStringLiteral("imported %1 rows; the store holds %2 domains")
                    .arg(imported)
                    .arg(store.rowCount()));
    return 0;
}

int Serve(ServiceOptions options, CountStore &store, QCoreApplication &app) {
    QString error;
    if (!options.logFile.isEmpty() &&
        !LogRequestsToFile(options.logFile, options.logMaxBytes, &error)) {
        SayOnStderr(error);
        return 1;
    }
    const std::shared_ptr<TlsContext> tls = LoadTls(options.certPath, options.keyPath, &error);
    if (!tls) {
        SayOnStderr(error);
        return 1;
    }
    options.limits.maxConnections = FitToDescriptors(options.limits.maxConnections);
    ServiceListener listener(Handlers(options.version, options.db), options.limits);
    if (!listener.start(options.address, options.port, tls, &error)) {
        SayOnStderr(error);
        return 1;
    }
    QuitOnSignals(app);
    const QString host = options.address.protocol() == QAbstractSocket::IPv6Protocol
                             ? u'[' + options.address.toString() + u']'
                             : options.address.toString();
    SayOnStderr(QStringLiteral("ready on https://%1:%2 (%3 domains in store, at most %4 "
                               "connections)")
                    .arg(host)
                    .arg(listener.port())
                    .arg(store.rowCount())
                    .arg(options.limits.maxConnections));
    return app.exec();
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("shoulu-service"));
    // Tokens are checked over GBK bytes: without GBK every Chinese domain would be refused.
    shoulu::RequireGbk();
    const std::optional<ServiceOptions> options = ParseServiceOptions(app);
    if (!options) {
        return 2;
    }
    CountStore store;
    QString error;
    if (!store.open(options->db, &error)) {
        SayOnStderr(QStringLiteral("cannot open store %1: %2").arg(options->db, error));
        return 1;
    }
    return options->importPath.isEmpty() ? Serve(*options, store, app) : Import(*options, store);
}
