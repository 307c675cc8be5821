#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

namespace shoulu {

// One decoded "name=value" pair of a query string or form body.
using FormField = QPair<QString, QString>;

// Strict percent-decoding of one raw component: "%XY" must carry two hex digits and the result
// must be valid UTF-8. A "+" stays a literal plus: the program escapes a plus as %2B, so a raw
// one can only mean itself. Returns nothing when the text is malformed.
std::optional<QString> PercentDecode(QByteArrayView raw);

// Splits "a=1&b=2" on "&" and the first "=" of each part and decodes both sides. Empty parts
// (from "&&" or a trailing "&") are skipped; a part without "=" has an empty value. Returns
// nothing when any part is malformed.
std::optional<QList<FormField>> ParseForm(QByteArrayView raw);

// The outcome of looking up one field that must occur at most once.
enum class FieldLookup { Missing, Found, Repeated };

FieldLookup FindField(const QList<FormField> &fields, const QString &name, QString *value);

} // namespace shoulu
