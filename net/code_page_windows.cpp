#include "net/code_page.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace shoulu {

namespace {
constexpr UINT kGbkCodePage = 936;
constexpr UINT kGb18030CodePage = 54936;

// bytes read in codePage; malformed sequences become substitute characters, and *valid (when
// given) says whether there were none.
QString Decode(UINT codePage, QByteArrayView bytes, bool *valid) {
    if (valid != nullptr) {
        *valid = true;
    }
    if (bytes.isEmpty()) {
        return {};
    }
    const int length = static_cast<int>(bytes.size());
    if (valid != nullptr) {
        // The strict pass only tells whether every sequence is valid; the text comes from the
        // lenient one, with substitutes where it is not.
        *valid = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr,
                                     0) > 0;
    }
    const int size = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    QString text(size, Qt::Uninitialized);
    if (size > 0) {
        MultiByteToWideChar(codePage, 0, bytes.data(), length,
                            reinterpret_cast<wchar_t *>(text.data()), size);
    }
    return text;
}

} // namespace

QByteArray EncodeGbk(QStringView text) {
    if (text.isEmpty()) {
        return {};
    }
    const auto *wide = reinterpret_cast<const wchar_t *>(text.utf16());
    const int length = static_cast<int>(text.size());
    // No best-fit: a unit without a GBK code must not turn into a look-alike letter.
    const int size = WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, wide, length, nullptr,
                                         0, nullptr, nullptr);
    QByteArray bytes(size, Qt::Uninitialized);
    if (size > 0) {
        WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, wide, length, bytes.data(), size,
                            nullptr, nullptr);
    }
    return bytes;
}

QString DecodeGbk(QByteArrayView bytes, bool *valid) {
    return Decode(kGbkCodePage, bytes, valid);
}

// Windows has GB18030 as code page 54936; where it is missing (Wine), code page 936 reads its
// one- and two-byte part.
QString DecodeGb18030(QByteArrayView bytes) {
    static const bool present = IsValidCodePage(kGb18030CodePage) != 0;
    return Decode(present ? kGb18030CodePage : kGbkCodePage, bytes, nullptr);
}

void ReportGbkMissing() {
    // A GUI program has no console to print to, so the message gets a box of its own.
    static const wchar_t kMessage[] =
        L"Code page 936 (GBK) is not installed on this system, so Chinese domains and form "
        L"bodies cannot be encoded.";
    std::fputws(kMessage, stderr);
    FatalAppExitW(0, kMessage);
    std::abort();
}

} // namespace shoulu
