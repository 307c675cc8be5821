#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

namespace shoulu {

// Parses text as one JSON object (whitespace around it allowed); nullopt for anything else.
// A repeated member name: the later one counts. Integers outside the signed 64-bit range are
// kept as strings of their exact digits, so no digit is lost to a double.
std::optional<QJsonObject> toObject(const QString &text);

// The value at a dotted path such as "info.bd.site", as text; nullopt when a name is missing or
// a value before the last step is not an object. Strings give their characters, integers their
// exact digits, other numbers their shortest round-trip form ("0.5", "1.5e-07"), true/false/null
// the words "true", "false", "null", and an array or object its compact JSON text.
std::optional<QString> MemberText(const QJsonObject &object, const QString &path);

// The value MemberText reads at path, itself; nullopt where MemberText gives nullopt.
std::optional<QJsonValue> MemberValue(const QJsonObject &object, const QString &path);

} // namespace shoulu
