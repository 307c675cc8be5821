#include "net/http_get.h"

#include "net/http_client.h"

namespace shoulu {

HttpResult FetchGet(const QString &url) {
    HttpClient *client = ProgramClient();
    return client != nullptr ? client->get(url) : HttpResult{{}, HttpFailure::InvalidUrl};
}

QString HttpGet(const QString &url) {
    return FetchGet(url).body;
}

} // namespace shoulu
