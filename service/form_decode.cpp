#include "service/form_decode.h"

#include <QStringDecoder>

namespace shoulu {

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

} // namespace

std::optional<QString> PercentDecode(QByteArrayView raw) {
    QByteArray bytes;
    bytes.reserve(raw.size());
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c != '%') {
            bytes.append(c);
            continue;
        }
        if (i + 2 >= raw.size()) {
            return std::nullopt;
        }
        const int high = HexValue(raw[i + 1]);
        const int low = HexValue(raw[i + 2]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        bytes.append(static_cast<char>(high * 16 + low));
        i += 2;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    return text;
}

std::optional<QList<FormField>> ParseForm(QByteArrayView raw) {
    QList<FormField> fields;
    qsizetype start = 0;
    while (start <= raw.size()) {
        qsizetype end = raw.indexOf('&', start);
        if (end < 0) {
            end = raw.size();
        }
        const QByteArrayView part = raw.sliced(start, end - start);
        start = end + 1;
        if (part.isEmpty()) {
            continue;
        }
        const qsizetype eq = part.indexOf('=');
        const auto name = PercentDecode(eq < 0 ? part : part.first(eq));
        const auto value = PercentDecode(eq < 0 ? QByteArrayView() : part.sliced(eq + 1));
        if (!name || !value) {
            return std::nullopt;
        }
        fields.append({*name, *value});
    }
    return fields;
}

FieldLookup FindField(const QList<FormField> &fields, const QString &name, QString *value) {
    FieldLookup outcome = FieldLookup::Missing;
    for (const FormField &field : fields) {
        if (field.first != name) {
            continue;
        }
        if (outcome == FieldLookup::Found) {
            return FieldLookup::Repeated;
        }
        outcome = FieldLookup::Found;
        *value = field.second;
    }
    return outcome;
}

} // namespace shoulu
