#include "core/list_text.h"

#include "net/code_page.h"

#include <QStringDecoder>

namespace shoulu {

namespace {

bool IsAscii(const QByteArray &bytes) {
    for (const char byte : bytes) {
        if (static_cast<unsigned char>(byte) > 0x7F) {
            return false;
        }
    }
    return true;
}

bool IsCjk(char32_t code) {
    return (code >= 0x3000 && code <= 0x303F) || // CJK symbols and punctuation
           (code >= 0x3400 && code <= 0x4DBF) || // extension A
           (code >= 0x4E00 && code <= 0x9FFF) || // unified ideographs
           (code >= 0xF900 && code <= 0xFAFF) || // compatibility ideographs
           (code >= 0xFF00 && code <= 0xFFEF) || // full-width forms
           (code >= 0x20000 && code <= 0x2FA1F); // supplementary ideographs
}

// Letters that domain names in European scripts are written with.
bool IsCommonLetter(char32_t code) {
    return (code >= 0x00C0 && code <= 0x017F && code != 0xD7 && code != 0xF7) ||
           (code >= 0x0391 && code <= 0x03C9) || (code >= 0x0410 && code <= 0x044F);
}

// Whether a valid UTF-8 reading is the text as written. UTF-8 Chinese very often also reads as
// valid GBK made of CJK, while GBK Chinese almost never reads as valid UTF-8 holding CJK: it
// reads as rare letters ("学习" as "ѧϰ"). Accented letters alone are UTF-8 too, which modern
// editors write.
bool ReadsAsWritten(QStringView utf8) {
    bool allCommon = true;
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        char32_t code = utf8[i].unicode();
        if (QChar::isHighSurrogate(code) && i + 1 < utf8.size() && utf8[i + 1].isLowSurrogate()) {
            code = QChar::surrogateToUcs4(utf8[i], utf8[i + 1]);
            ++i;
        }
        if (IsCjk(code)) {
            return true;
        }
        allCommon = allCommon && (code <= 0x7F || IsCommonLetter(code));
    }
    return allCommon;
}

QString DecodeWith(QStringConverter::Encoding encoding, QByteArrayView bytes) {
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

QString DecodeText(const QByteArray &bytes) {
    const QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF")) {
        return DecodeWith(QStringConverter::Utf8, view.sliced(3));
    }
    if (view.startsWith("\xFF\xFE")) {
        return DecodeWith(QStringConverter::Utf16LE, view.sliced(2));
    }
    if (view.startsWith("\xFE\xFF")) {
        return DecodeWith(QStringConverter::Utf16BE, view.sliced(2));
    }
    if (IsAscii(bytes)) {
        return QString::fromLatin1(bytes);
    }
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString asUtf8 = utf8.decode(view);
    return !utf8.hasError() && ReadsAsWritten(asUtf8) ? asUtf8 : DecodeGbk(view);
}

} // namespace

TextLines SplitLines(QStringView text) {
    TextLines split;
    const auto take = [&split](QStringView line) {
        if (line.size() > kMaxLineLength) {
            ++split.tooLong;
        } else {
            split.lines.append(line.toString());
        }
    };
    qsizetype start = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar ch = text[i];
        if (ch != u'\r' && ch != u'\n') {
            continue;
        }
        take(text.sliced(start, i - start));
        if (ch == u'\r' && i + 1 < size && text[i + 1] == u'\n') {
            ++i;
        }
        start = i + 1;
    }
    if (start < size) {
        take(text.sliced(start));
    }
    return split;
}

bool IsListText(QByteArrayView bytes) {
    return bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") || !bytes.contains('\0');
}

TextLines DecodeListFile(const QByteArray &bytes) {
    return SplitLines(DecodeText(bytes));
}

} // namespace shoulu
