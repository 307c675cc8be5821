#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <array>
#include <optional>

namespace shoulu {

// The counts one domain has in the store, each as the text the store holds: usually digits,
// but any text (for example "12,345") is kept and served as it is.
struct DomainCounts {
    QString domain;
    // bd site, bd domain, so site, so domain, bing site, bing domain.
    std::array<QString, 6> counts;
};

// The SQLite table of domains and their counts per engine. One connection per instance; the
// table is created when the file is first opened.
class CountStore {
public:
    CountStore();
    ~CountStore();
    CountStore(const CountStore &) = delete;
    CountStore &operator=(const CountStore &) = delete;

    // Opens (and if needed creates) the database file. On failure, error says why.
    bool open(const QString &path, QString *error);

    // Exact, case-sensitive lookup.
    std::optional<DomainCounts> find(const QString &domain);

    // Loads a CSV file (UTF-8, header line "domain,bd_site,bd_domain,so_site,so_domain,
    // bing_site,bing_domain", fields quoted with '"' when they hold commas). Rows replace those
    // of the same domain. All or nothing: on an error nothing is stored and error names the line.
    bool importCsv(const QString &csvPath, int *imported, QString *error);

    int rowCount();

private:
    QString connectionName_;
    QSqlDatabase db_;
    std::optional<QSqlQuery> findQuery_;
};

// Splits one CSV line into fields (RFC 4180 quoting within the line). Returns nothing for an
// unterminated quote or text after a closing quote.
std::optional<QStringList> SplitCsvLine(const QString &line);

} // namespace shoulu
