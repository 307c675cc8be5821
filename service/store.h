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

// What an import does with the rows already in the store.
enum class ImportMode { Replace, Merge };

// The SQLite table of domains and their counts per engine. One connection per instance; the
// table is created when the file is first opened. The file is kept in write-ahead-log mode, so
// an import never blocks the service's readers nor shows them a half-written store.
class CountStore {
public:
    CountStore();
    ~CountStore();
    CountStore(const CountStore &) = delete;
    CountStore &operator=(const CountStore &) = delete;

    // Opens (and if needed creates) the database file; "" and ":memory:" are refused, as they
    // keep nothing. On failure, error says why.
    bool open(const QString &path, QString *error);

    // Exact lookup of the text as it is (case, a leading U+FEFF and all). Nothing when the domain
    // is not stored; when the store cannot be read, nothing with error set.
    std::optional<DomainCounts> find(const QString &domain, QString *error = nullptr);

    // Loads a CSV file (UTF-8 with an optional BOM, header line "domain,bd_site,bd_domain,
    // so_site,so_domain,bing_site,bing_domain", fields quoted with '"' when they hold commas),
    // read as a stream with a limit on a line's length. Replace makes the file the store's whole
    // content; Merge keeps the other rows, and a file's row replaces the one of its domain. All or
    // nothing: on an error the store is unchanged and error names the line.
    bool importCsv(const QString &csvPath, ImportMode mode, int *imported, QString *error);

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
