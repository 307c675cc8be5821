#pragma once

#include <QLatin1String>
#include <QString>

#include <array>

namespace shoulu {

// Accepted suffixes; a domain passes when any of them occurs anywhere in its text.
inline constexpr std::array<QLatin1String, 8> DomainSuffixes = {
    QLatin1String("com"), QLatin1String("cn"), QLatin1String("org"), QLatin1String("info"),
    QLatin1String("hk"),  QLatin1String("me"), QLatin1String("net"), QLatin1String("cc"),
};

// All tests are exact and case-sensitive; nothing is trimmed.
bool HasDomainSuffix(const QString &text);
bool HasHttpScheme(const QString &text);
bool HasWwwPrefix(const QString &text);
// Removes every "http://" (one pass), then one leading "www.".
QString NormalizeImportedDomain(const QString &text);

} // namespace shoulu
