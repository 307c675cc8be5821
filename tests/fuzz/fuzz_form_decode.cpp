// ParseForm, PercentDecode and FindField on arbitrary bytes. Besides crashes it checks that the
// fields of a form read back the same once encoded again, and that FindField counts as a
// reader of the fields would.
#include "service/form_decode.h"
#include "tests/fuzz/fuzz_check.h"

#include <QByteArray>
#include <QUrl>

#include <cstddef>
#include <cstdint>

namespace {

QByteArray Encode(const QList<shoulu::FormField> &fields) {
    QByteArrayList parts;
    for (const shoulu::FormField &field : fields) {
        parts.append(QUrl::toPercentEncoding(field.first) + '=' +
                     QUrl::toPercentEncoding(field.second));
    }
    return parts.join('&');
}

void CheckLookups(const QList<shoulu::FormField> &fields) {
    for (const shoulu::FormField &field : fields) {
        qsizetype seen = 0;
        QString first;
        for (const shoulu::FormField &other : fields) {
            if (other.first == field.first && seen++ == 0) {
                first = other.second;
            }
        }
        QString value;
        const shoulu::FieldLookup lookup = shoulu::FindField(fields, field.first, &value);
        Check(lookup == (seen == 1 ? shoulu::FieldLookup::Found : shoulu::FieldLookup::Repeated));
        Check(seen > 1 || value == first);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size) {
    const QByteArray raw(reinterpret_cast<const char *>(bytes), static_cast<qsizetype>(size));
    const auto decoded = shoulu::PercentDecode(raw);
    if (decoded) {
        Check(shoulu::PercentDecode(QUrl::toPercentEncoding(*decoded)) == *decoded);
    } else {
        Check(raw.contains('%') || !raw.isValidUtf8());
    }
    const auto fields = shoulu::ParseForm(raw);
    if (!fields) {
        return 0;
    }
    Check(fields->size() <= raw.count('&') + 1);
    Check(shoulu::ParseForm(Encode(*fields)) == *fields);
    CheckLookups(*fields);
    return 0;
}
