#pragma once

// The head of an HTTP/1.1 answer, written the same way by the service and by the tests' HTTPS
// server. Only Qt Core: the tests build it where the service is not built.

#include <QByteArray>
#include <QList>

#include <utility>

namespace shoulu {

using HttpHeaders = QList<std::pair<QByteArray, QByteArray>>;

inline QByteArray ReasonPhrase(int status) {
    switch (status) {
    case 100:
        return "Continue";
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 304:
        return "Not Modified";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 413:
        return "Payload Too Large";
    case 414:
        return "URI Too Long";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

// "HTTP/1.1 200 OK" and its line end.
inline QByteArray StatusLine(int status) {
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + ReasonPhrase(status) + "\r\n";
}

// What the head says of the connection; None leaves HTTP/1.1's keep-alive unsaid.
enum class ConnectionHeader { None, KeepAlive, Close };

// The status line, the headers in order, Content-Length, Connection, and the empty line.
inline QByteArray ResponseHead(int status, const HttpHeaders &headers, qsizetype contentLength,
                               ConnectionHeader connection) {
    QByteArray head = StatusLine(status);
    for (const auto &[name, value] : headers) {
        head += name + ": " + value + "\r\n";
    }
    head += "Content-Length: " + QByteArray::number(contentLength) + "\r\n";
    if (connection != ConnectionHeader::None) {
        head += connection == ConnectionHeader::Close ? "Connection: close\r\n"
                                                      : "Connection: keep-alive\r\n";
    }
    return head + "\r\n";
}

} // namespace shoulu
