#include "net/post_form.h"

#include "net/http_client.h"

namespace shoulu {

HttpResult FetchPost(const QString &url, const QString &data) {
    HttpClient *client = ProgramClient();
    if (client == nullptr) {
        return {{}, HttpFailure::InvalidUrl};
    }
    // What remains after the escaping goes out as UTF-8, as the system component sends a text body.
    return client->post(url, EscapeDoubleByte(data).toUtf8());
}

QString PostForm(const QString &url, const QString &data) {
    return FetchPost(url, data).body;
}

} // namespace shoulu
