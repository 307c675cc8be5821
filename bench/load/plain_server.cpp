// The yardstick of the load benchmark: a plain Qt HttpServer route with a fixed body, served
// over the same TLS setup as shoulu-service.

#include <QCoreApplication>
#include <QFile>
#include <QHttpServer>
#include <QSslCertificate>
#include <QSslKey>

#include <cstdio>

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: bench_plain_server CERT.pem KEY.pem\n");
        return 2;
    }
    QFile certFile(args[1]);
    QFile keyFile(args[2]);
    if (!certFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "bench_plain_server: cannot read the certificate or key\n");
        return 1;
    }
    const QList<QSslCertificate> chain = QSslCertificate::fromData(certFile.readAll());
    const QByteArray keyPem = keyFile.readAll();
    QSslKey key(keyPem, QSsl::Ec);
    if (key.isNull()) {
        key = QSslKey(keyPem, QSsl::Rsa);
    }
    if (chain.isEmpty() || key.isNull()) {
        std::fprintf(stderr, "bench_plain_server: no certificate or key\n");
        return 1;
    }

    QHttpServer server;
    // About the size of a query answer.
    static const QByteArray body(160, 'x');
    server.route(QStringLiteral("/plain"), [] { return body; });
    server.sslSetup(chain.first(), key);
    const quint16 port = server.listen(QHostAddress::LocalHost, 0);
    if (port == 0) {
        std::fprintf(stderr, "bench_plain_server: cannot listen\n");
        return 1;
    }
    std::fprintf(stderr, "bench_plain_server: ready on https://127.0.0.1:%u\n",
                 static_cast<unsigned>(port));
    return app.exec();
}
