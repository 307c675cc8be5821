#include "core/domain_rules.h"

namespace shoulu {

namespace {
const QLatin1String kHttpScheme("http://");
const QLatin1String kWwwPrefix("www.");
} // namespace

bool HasDomainSuffix(const QString &text) {
    for (const QLatin1String &suffix : DomainSuffixes) {
        if (text.contains(suffix, Qt::CaseSensitive)) {
            return true;
        }
    }
    return false;
}

bool HasHttpScheme(const QString &text) {
    return text.contains(kHttpScheme, Qt::CaseSensitive);
}

bool HasWwwPrefix(const QString &text) {
    return text.startsWith(kWwwPrefix, Qt::CaseSensitive);
}

QString NormalizeImportedDomain(const QString &text) {
    QString result = text;
    if (HasHttpScheme(result)) {
        // QString::replace scans left to right over non-overlapping matches and does not
        // rescan what it produced, so "hthttp://tp://" leaves one "http://".
        result.replace(kHttpScheme, QString(), Qt::CaseSensitive);
    }
    if (HasWwwPrefix(result)) {
        result.remove(0, kWwwPrefix.size());
    }
    return result;
}

} // namespace shoulu
