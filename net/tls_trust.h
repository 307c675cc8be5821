#pragma once

#include <QByteArray>

namespace shoulu {

// Adds the CA certificates in pem to those every TLS connection trusts from now on. The
// system's trust store stays; verification is never turned off. Text without a certificate
// changes nothing.
void TrustExtraCaCertificates(const QByteArray &pem);

// Trusts the CA compiled in with SHOULU_EXTRA_CA_FILE, once per process; HttpGet and PostForm
// call it before their first request.
void TrustCompiledInCaCertificate();

} // namespace shoulu
