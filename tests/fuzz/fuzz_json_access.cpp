// toObject and MemberText on arbitrary text. Besides crashes it checks that toObject accepts
// exactly what the parser accepts and that rewriting numbers changed no structure or value.
#include "net/json_access.h"
#include "tests/fuzz/fuzz_check.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace {

bool IsDigits(const QString &text) {
    const qsizetype first = text.startsWith(QLatin1Char('-')) ? 1 : 0;
    if (text.size() <= first) {
        return false;
    }
    for (qsizetype i = first; i < text.size(); ++i) {
        if (text[i] < QLatin1Char('0') || text[i] > QLatin1Char('9')) {
            return false;
        }
    }
    return true;
}

// ours is the value toObject gave for original, the parser's own reading of the same text.
void CheckSame(const QJsonValue &original, const QJsonValue &ours) {
    if (original.isDouble() && ours.isString()) { // an integer beyond 64 bits, kept as digits
        const QString digits = ours.toString();
        Check(IsDigits(digits));
        Check(digits.toDouble() == original.toDouble());
        return;
    }
    Check(original.type() == ours.type());
    switch (original.type()) {
    case QJsonValue::Double:
        Check(ours.toDouble() == original.toDouble());
        break;
    case QJsonValue::String:
        Check(ours.toString() == original.toString());
        break;
    case QJsonValue::Bool:
        Check(ours.toBool() == original.toBool());
        break;
    case QJsonValue::Array: {
        const QJsonArray a = original.toArray();
        const QJsonArray b = ours.toArray();
        Check(a.size() == b.size());
        for (qsizetype i = 0; i < a.size(); ++i) {
            CheckSame(a[i], b[i]);
        }
        break;
    }
    case QJsonValue::Object: {
        const QJsonObject a = original.toObject();
        const QJsonObject b = ours.toObject();
        Check(a.keys() == b.keys());
        // Side by side rather than by name: Qt's lookup misses some parsed names.
        for (auto x = a.begin(), y = b.begin(); x != a.end(); ++x, ++y) {
            CheckSame(x.value(), y.value());
        }
        break;
    }
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        break;
    }
}

// Reads every member reachable by names without dots, as a caller would.
// prefix is the path of object, empty for the root (a member may itself be named "").
void ReadAll(const QJsonObject &root, const QJsonObject &object,
             const std::optional<QString> &prefix, int depth) {
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it.key().contains(QLatin1Char('.'))) {
            continue;
        }
        const QString path = prefix ? *prefix + QLatin1Char('.') + it.key() : it.key();
        const std::optional<QString> text = shoulu::MemberText(root, path);
        Check(text.has_value());
        if (it.value().isString()) {
            Check(*text == it.value().toString());
        } else if (it.value().isDouble()) {
            Check(!text->isEmpty());
            const double value = it.value().toDouble();
            if (value == static_cast<double>(static_cast<long long>(value))) {
                Check(IsDigits(*text)); // integers never come out with a fraction or exponent
            }
        }
        Check(!shoulu::MemberText(root, path + QStringLiteral(".\x01missing")).has_value());
        if (it.value().isObject() && depth < 8) {
            ReadAll(root, it.value().toObject(), path, depth + 1);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const std::optional<QJsonObject> object = shoulu::toObject(text);

    QJsonParseError error{};
    const QJsonDocument original = QJsonDocument::fromJson(text.toUtf8(), &error);
    Check(object.has_value() == (error.error == QJsonParseError::NoError && original.isObject()));
    if (!object) {
        return 0;
    }
    CheckSame(original.object(), *object);
    ReadAll(*object, *object, std::nullopt, 0);
    for (const char *path : {"info.web.domain", "info.bd.site", "result", "message", "info.must"}) {
        (void)shoulu::MemberText(*object, QString::fromLatin1(path));
    }
    return 0;
}
