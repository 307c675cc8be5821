#include "net/tls_trust.h"

#include "shoulu_config.h"

#include <QSslCertificate>

namespace shoulu {

QSslConfiguration TlsWithExtraCa(const QByteArray &pem) {
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    const QList<QSslCertificate> extra = QSslCertificate::fromData(pem, QSsl::Pem);
    if (extra.isEmpty()) {
        return config;
    }
    QList<QSslCertificate> trusted = config.caCertificates();
    // An empty list means the store is read on demand; setting any list ends that, so the
    // system's certificates have to be listed explicitly to stay trusted.
    if (trusted.isEmpty()) {
        trusted = QSslConfiguration::systemCaCertificates();
    }
    for (const QSslCertificate &certificate : extra) {
        if (!trusted.contains(certificate)) {
            trusted.append(certificate);
        }
    }
    config.setCaCertificates(trusted);
    return config;
}

QByteArray CompiledInCaPem() {
    return QByteArray(SHOULU_EXTRA_CA_PEM);
}

} // namespace shoulu
