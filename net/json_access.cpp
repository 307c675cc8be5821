#include "net/json_access.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QStringList>
#include <QVariant>

#include <cmath>

namespace shoulu {

namespace {

// No number that the parser accepts has more integer digits than this (doubles end near 1e308).
constexpr qsizetype kMaxIntegerDigits = 400;

struct IntegerValue {
    bool negative = false;
    QByteArray digits; // no leading zeros; "0" for zero
};

// The exact value of a JSON number literal when it is an integer ("12", "-1.5e3", "2.0").
std::optional<IntegerValue> IntegerOf(QByteArrayView token) {
    IntegerValue value;
    qsizetype pos = 0;
    if (pos < token.size() && token[pos] == '-') {
        value.negative = true;
        ++pos;
    }
    QByteArray mantissa;
    qint64 scale = 0; // the value is mantissa * 10^scale
    while (pos < token.size() && token[pos] >= '0' && token[pos] <= '9') {
        mantissa.append(token[pos++]);
    }
    if (pos < token.size() && token[pos] == '.') {
        ++pos;
        while (pos < token.size() && token[pos] >= '0' && token[pos] <= '9') {
            mantissa.append(token[pos++]);
            --scale;
        }
    }
    if (pos < token.size() && (token[pos] == 'e' || token[pos] == 'E')) {
        ++pos;
        bool negativeExponent = false;
        if (pos < token.size() && (token[pos] == '+' || token[pos] == '-')) {
            negativeExponent = token[pos] == '-';
            ++pos;
        }
        qint64 exponent = 0;
        while (pos < token.size() && token[pos] >= '0' && token[pos] <= '9') {
            exponent = std::min<qint64>(exponent * 10 + (token[pos++] - '0'), 1'000'000'000);
        }
        scale += negativeExponent ? -exponent : exponent;
    }

    qsizetype first = 0;
    while (first < mantissa.size() && mantissa[first] == '0') {
        ++first;
    }
    mantissa.remove(0, first);
    if (mantissa.isEmpty()) {
        return IntegerValue{false, "0"};
    }
    while (mantissa.endsWith('0')) {
        mantissa.chop(1);
        ++scale;
    }
    if (scale < 0 || mantissa.size() + scale > kMaxIntegerDigits) {
        return std::nullopt;
    }
    value.digits = mantissa + QByteArray(scale, '0');
    return value;
}

bool FitsInt64(const IntegerValue &value) {
    const QByteArrayView limit = value.negative ? "9223372036854775808" : "9223372036854775807";
    return value.digits.size() < limit.size() ||
           (value.digits.size() == limit.size() && QByteArrayView(value.digits) <= limit);
}

// The parser keeps integers within 64 bits exactly and turns everything else into a double.
// A copy of valid JSON text where each integer-valued number it would not keep exactly is
// written out: as a plain integer within 64 bits, else as a string of its digits. Nothing when
// no number needs it.
std::optional<QByteArray> WithExactIntegers(const QByteArray &json) {
    QByteArray out;
    qsizetype copied = 0;
    qsizetype pos = 0;
    while (pos < json.size()) {
        const char c = json[pos];
        if (c == '"') {
            for (++pos; pos < json.size() && json[pos] != '"'; ++pos) {
                if (json[pos] == '\\') {
                    ++pos;
                }
            }
            ++pos;
            continue;
        }
        // The parser also takes numbers such as ".5", "-.5" and "1.".
        if (c != '-' && c != '.' && (c < '0' || c > '9')) {
            ++pos;
            continue;
        }
        const qsizetype begin = pos;
        while (pos < json.size() && (QByteArrayView("0123456789+-.eE").contains(json[pos]))) {
            ++pos;
        }
        const QByteArrayView token(json.constData() + begin, pos - begin);
        const std::optional<IntegerValue> integer = IntegerOf(token);
        if (!integer) {
            continue;
        }
        const bool plain = !token.contains('.') && !token.contains('e') && !token.contains('E');
        const bool fits = FitsInt64(*integer);
        if (plain && fits) {
            continue;
        }
        out.append(json.constData() + copied, begin - copied);
        const QByteArray number = (integer->negative ? "-" : "") + integer->digits;
        out.append(fits ? number : '"' + number + '"');
        copied = pos;
    }
    if (copied == 0) {
        return std::nullopt;
    }
    out.append(json.constData() + copied, json.size() - copied);
    return out;
}

QString NumberText(const QJsonValue &value) {
    const QVariant variant = value.toVariant();
    if (variant.typeId() == QMetaType::LongLong) {
        return QString::number(variant.toLongLong());
    }
    const double number = value.toDouble();
    if (number == 0) {
        return QStringLiteral("0");
    }
    if (std::isfinite(number) && std::trunc(number) == number) {
        return QString::number(number, 'f', 0);
    }
    return QString::number(number, 'g', QLocale::FloatingPointShortest);
}

// Qt 6.4's parser stores some names (a Latin-1 letter followed by many characters beyond
// Latin-1) so that QJsonObject's own lookup misses them; a scan still finds them.
std::optional<QJsonValue> MemberNamed(const QJsonObject &object, const QString &name) {
    if (const auto member = object.constFind(name); member != object.constEnd()) {
        return *member;
    }
    for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
        if (it.key() == name) {
            return *it;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<QJsonObject> toObject(const QString &text) {
    const QByteArray json = text.toUtf8();
    QJsonParseError error{};
    QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    // Rewriting is done on text already known to be valid, so it cannot make bad text pass.
    if (const std::optional<QByteArray> exact = WithExactIntegers(json)) {
        document = QJsonDocument::fromJson(*exact, &error);
        if (error.error != QJsonParseError::NoError || !document.isObject()) {
            return std::nullopt;
        }
    }
    return document.object();
}

std::optional<QJsonValue> MemberValue(const QJsonObject &object, const QString &path) {
    QJsonValue value(object);
    for (const QString &name : path.split(QLatin1Char('.'))) {
        if (!value.isObject()) {
            return std::nullopt;
        }
        const std::optional<QJsonValue> member = MemberNamed(value.toObject(), name);
        if (!member) {
            return std::nullopt;
        }
        value = *member;
    }
    return value;
}

std::optional<QString> MemberText(const QJsonObject &object, const QString &path) {
    const std::optional<QJsonValue> member = MemberValue(object, path);
    if (!member) {
        return std::nullopt;
    }
    const QJsonValue &value = *member;
    switch (value.type()) {
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Double:
        return NumberText(value);
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Array:
        return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    case QJsonValue::Object:
        return QString::fromUtf8(QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact));
    case QJsonValue::Undefined:
        break;
    }
    return std::nullopt;
}

} // namespace shoulu
