#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>

class QNetworkReply;
class QNetworkRequest;
class QUrl;

namespace shoulu {

// How long HttpGet and PostForm wait without receiving a byte before giving a request up.
// 60 s unless a test sets it shorter.
inline constexpr std::chrono::milliseconds kDefaultHttpStallTimeout{60000};
void SetHttpStallTimeout(std::chrono::milliseconds timeout);
std::chrono::milliseconds HttpStallTimeout();

// Body bytes to text: a byte-order mark decides first, then the charset named by the
// Content-Type value, else UTF-8. The mark itself is never part of the text.
QString DecodeBody(const QByteArray &body, const QByteArray &contentType);

// Only http and https go out; the stack would also read file:, data: and qrc: addresses.
bool IsHttpUrl(const QUrl &url);

// A request with the stall limit and the settings both clients share; callers add their header.
QNetworkRequest MakeRequest(const QUrl &url);

// The text of a finished reply: its decoded body, or the empty text when the transfer failed.
// HTTP error statuses are answers like any other.
QString FinishedReplyText(QNetworkReply &reply);

} // namespace shoulu
