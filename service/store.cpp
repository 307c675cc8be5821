#include "service/store.h"

#include <QAtomicInt>
#include <QFile>
#include <QSqlError>
#include <QStringList>
#include <QVariant>

namespace shoulu {

namespace {

const QStringList kHeader = {"domain",    "bd_site",   "bd_domain",  "so_site",
                             "so_domain", "bing_site", "bing_domain"};

QAtomicInt connectionCounter;

} // namespace

std::optional<QStringList> SplitCsvLine(const QString &line) {
    QStringList fields;
    QString field;
    bool quoted = false;
    bool afterQuote = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < line.size() && line[i + 1] == u'"') {
                    field.append(u'"');
                    ++i;
                } else {
                    quoted = false;
                    afterQuote = true;
                }
            } else {
                field.append(c);
            }
        } else if (c == u',') {
            fields.append(field);
            field.clear();
            afterQuote = false;
        } else if (afterQuote) {
            return std::nullopt;
        } else if (c == u'"' && field.isEmpty()) {
            quoted = true;
        } else {
            field.append(c);
        }
    }
    if (quoted) {
        return std::nullopt;
    }
    fields.append(field);
    return fields;
}

CountStore::CountStore()
    : connectionName_(
          QStringLiteral("shoulu-store-%1").arg(connectionCounter.fetchAndAddRelaxed(1))) {}

CountStore::~CountStore() {
    findQuery_.reset();
    if (db_.isValid()) {
        db_.close();
    }
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connectionName_);
}

bool CountStore::open(const QString &path, QString *error) {
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName_);
    db_.setDatabaseName(path);
    if (!db_.open()) {
        *error = db_.lastError().text();
        return false;
    }
    QSqlQuery create(db_);
    if (!create.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS counts ("
                                    "domain TEXT PRIMARY KEY NOT NULL, "
                                    "bd_site TEXT NOT NULL, bd_domain TEXT NOT NULL, "
                                    "so_site TEXT NOT NULL, so_domain TEXT NOT NULL, "
                                    "bing_site TEXT NOT NULL, bing_domain TEXT NOT NULL)"))) {
        *error = create.lastError().text();
        return false;
    }
    findQuery_.emplace(db_);
    if (!findQuery_->prepare(QStringLiteral(
            "SELECT domain, bd_site, bd_domain, so_site, so_domain, bing_site, bing_domain "
            "FROM counts WHERE domain = ?"))) {
        *error = findQuery_->lastError().text();
        return false;
    }
    return true;
}

std::optional<DomainCounts> CountStore::find(const QString &domain) {
    if (!findQuery_) {
        return std::nullopt;
    }
    QSqlQuery &query = *findQuery_;
    query.bindValue(0, domain);
    if (!query.exec() || !query.next()) {
        query.finish();
        return std::nullopt;
    }
    DomainCounts found;
    found.domain = query.value(0).toString();
    for (int i = 0; i < 6; ++i) {
        found.counts[static_cast<size_t>(i)] = query.value(i + 1).toString();
    }
    query.finish();
    return found;
}

bool CountStore::importCsv(const QString &csvPath, int *imported, QString *error) {
    *imported = 0;
    QFile file(csvPath);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(csvPath, file.errorString());
        return false;
    }
    QString text = QString::fromUtf8(file.readAll());
    if (text.startsWith(QChar(0xFEFF))) {
        text.remove(0, 1);
    }
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QStringList lines = text.split(u'\n');

    if (!db_.transaction()) {
        *error = db_.lastError().text();
        return false;
    }
    QSqlQuery insert(db_);
    insert.prepare(QStringLiteral("INSERT OR REPLACE INTO counts (domain, bd_site, bd_domain, "
                                  "so_site, so_domain, bing_site, bing_domain) "
                                  "VALUES (?, ?, ?, ?, ?, ?, ?)"));
    bool headerSeen = false;
    int count = 0;
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QString &line = lines[n];
        const QString where = QStringLiteral("%1:%2").arg(csvPath).arg(n + 1);
        if (line.trimmed().isEmpty() || line.startsWith(u'#')) {
            continue;
        }
        const auto fields = SplitCsvLine(line);
        if (!fields) {
            *error = where + QStringLiteral(": unbalanced quotes");
            db_.rollback();
            return false;
        }
        if (!headerSeen) {
            headerSeen = true;
            if (*fields != kHeader) {
                *error = where + QStringLiteral(": the first line must be ") + kHeader.join(u',');
                db_.rollback();
                return false;
            }
            continue;
        }
        if (fields->size() != kHeader.size()) {
            *error = where + QStringLiteral(": expected %1 fields, found %2")
                                 .arg(kHeader.size())
                                 .arg(fields->size());
            db_.rollback();
            return false;
        }
        if (fields->first().isEmpty()) {
            *error = where + QStringLiteral(": empty domain");
            db_.rollback();
            return false;
        }
        for (int i = 0; i < kHeader.size(); ++i) {
            insert.bindValue(i, fields->at(i));
        }
        if (!insert.exec()) {
            *error = where + QStringLiteral(": ") + insert.lastError().text();
            db_.rollback();
            return false;
        }
        ++count;
    }
    if (!headerSeen) {
        *error = csvPath + QStringLiteral(": no header line");
        db_.rollback();
        return false;
    }
    if (!db_.commit()) {
        *error = db_.lastError().text();
        return false;
    }
    *imported = count;
    return true;
}

int CountStore::rowCount() {
    QSqlQuery query(db_);
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM counts")) || !query.next()) {
        return -1;
    }
    return query.value(0).toInt();
}

} // namespace shoulu
