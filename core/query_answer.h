#pragma once

#include "core/result_row.h"
#include "net/http_client.h"

#include <QString>

#include <optional>

namespace shoulu {

// What a query brought: its row, made of the seven answer members, or why there is none, in the
// user's words: the service's own message when it refused, else what went wrong on the way.
struct QueryOutcome {
    std::optional<ResultRow> row;
    QString reason;
};

QueryOutcome ReadQueryOutcome(const HttpResult &result);

} // namespace shoulu
