#include "net/code_page.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace shoulu {

namespace {
constexpr UINT kGbkCodePage = 936;
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
    if (valid != nullptr) {
        *valid = true;
    }
    if (bytes.isEmpty()) {
        return {};
    }
    const int length = static_cast<int>(bytes.size());
    if (valid != nullptr) {
        // The strict pass only tells whether every sequence is GBK; the text comes from the
        // lenient one, with substitutes where it is not.
        *valid = MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, bytes.data(), length,
                                     nullptr, 0) > 0;
    }
    const int size = MultiByteToWideChar(kGbkCodePage, 0, bytes.data(), length, nullptr, 0);
    QString text(size, Qt::Uninitialized);
    if (size > 0) {
        MultiByteToWideChar(kGbkCodePage, 0, bytes.data(), length,
                            reinterpret_cast<wchar_t *>(text.data()), size);
    }
    return text;
}

// Code page 936 has GB18030's one- and two-byte sequences only.
QString DecodeGb18030(QByteArrayView bytes) {
    return DecodeGbk(bytes);
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
