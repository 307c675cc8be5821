#include "net/code_page.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QtGlobal>

namespace shoulu {

QByteArray EncodeGbk(QStringView text) {
    // One converter per thread: opening an ICU converter per call would dominate table builds.
    thread_local QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    return encoder.encode(text);
}

QString DecodeGbk(QByteArrayView bytes, bool *valid) {
    QStringDecoder decoder("GBK", QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (valid != nullptr) {
        *valid = decoder.isValid() && !decoder.hasError();
    }
    return text;
}

QString DecodeGb18030(QByteArrayView bytes) {
    return QStringDecoder("GB18030").decode(bytes);
}

void ReportGbkMissing() {
    qFatal("GBK is not available: Qt was built without ICU, so Chinese domains and form "
           "bodies cannot be encoded");
}

} // namespace shoulu
