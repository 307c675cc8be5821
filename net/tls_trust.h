#pragma once

#include <QByteArray>
#include <QSslConfiguration>

namespace shoulu {

// The default TLS configuration with the CA certificates in pem trusted besides the system's.
// Verification is never turned off; text without a certificate changes nothing.
QSslConfiguration TlsWithExtraCa(const QByteArray &pem);

// The CA compiled in with SHOULU_EXTRA_CA_FILE, as PEM; empty in a release build.
QByteArray CompiledInCaPem();

} // namespace shoulu
