#include "service/store.h"

#include <QAtomicInt>
#include <QFile>
#include <QSqlError>
#include <QStringDecoder>
#include <QStringList>
#include <QVariant>

namespace shoulu {

namespace {

const QStringList kHeader = {"domain",    "bd_site",   "bd_domain",  "so_site",
                             "so_domain", "bing_site", "bing_domain"};

QAtomicInt connectionCounter;

const QString kColumns = QStringLiteral("domain TEXT PRIMARY KEY NOT NULL, "
                                        "bd_site TEXT NOT NULL, bd_domain TEXT NOT NULL, "
                                        "so_site TEXT NOT NULL, so_domain TEXT NOT NULL, "
                                        "bing_site TEXT NOT NULL, bing_domain TEXT NOT NULL");

// Far beyond any real row; a file without line breaks (or /dev/zero) stops here.
constexpr qint64 kMaxLineBytes = 64 * 1024;
constexpr int kBusyTimeoutMs = 5000;

// Why a data row cannot be stored; empty when it can.
QString RowFault(const QStringList &fields) {
    if (fields.size() != kHeader.size()) {
        return QStringLiteral("expected %1 fields, found %2")
            .arg(kHeader.size())
            .arg(fields.size());
    }
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (fields[i].isEmpty()) {
            return QStringLiteral("empty ") + kHeader[i];
        }
    }
    return {};
}

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
    if (path.isEmpty() || path == QStringLiteral(":memory:")) {
        *error = QStringLiteral("--db needs a file: \"%1\" would keep nothing").arg(path);
        return false;
    }
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName_);
    db_.setDatabaseName(path);
    // A second import waits for the first rather than failing at once.
    db_.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!db_.open()) {
        *error = db_.lastError().text();
        return false;
    }
    QSqlQuery setup(db_);
    if (!setup.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !setup.next() ||
        setup.value(0).toString() != QStringLiteral("wal")) {
        *error =
            QStringLiteral("cannot switch to write-ahead logging: ") + setup.lastError().text();
        return false;
    }
    if (!setup.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS counts (") + kColumns + u')')) {
        *error = setup.lastError().text();
        return false;
    }
    findQuery_.emplace(db_);
    // Text goes in and out as UTF-8 bytes: SQLite drops a leading U+FEFF from UTF-16 text.
    if (!findQuery_->prepare(QStringLiteral(
            "SELECT CAST(domain AS BLOB), bd_site, bd_domain, so_site, so_domain, bing_site, "
            "bing_domain FROM counts WHERE domain = CAST(? AS TEXT)"))) {
        *error = findQuery_->lastError().text();
        return false;
    }
    return true;
}

std::optional<DomainCounts> CountStore::find(const QString &domain, QString *error) {
    if (!findQuery_) {
        if (error) {
            *error = QStringLiteral("the store is not open");
        }
        return std::nullopt;
    }
    QSqlQuery &query = *findQuery_;
    query.bindValue(0, domain.toUtf8());
    if (!query.exec()) {
        if (error) {
            *error = query.lastError().text();
        }
        query.finish();
        return std::nullopt;
    }
    if (!query.next()) {
        query.finish();
        return std::nullopt;
    }
    DomainCounts found;
    // fromUtf8 would drop a leading U+FEFF, which belongs to the stored domain.
    found.domain = QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom)
                       .decode(query.value(0).toByteArray());
    for (int i = 0; i < 6; ++i) {
        found.counts[static_cast<size_t>(i)] = query.value(i + 1).toString();
    }
    query.finish();
    return found;
}

bool CountStore::importCsv(const QString &csvPath, ImportMode mode, int *imported, QString *error) {
    *imported = 0;
    QFile file(csvPath);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(csvPath, file.errorString());
        return false;
    }
    // The rows are gathered in a scratch table first and swapped in by one transaction at the
    // end, so readers see the old content until the new one is complete.
    if (!db_.transaction()) {
        *error = db_.lastError().text();
        return false;
    }
    QSqlQuery sql(db_);
    auto fail = [this, &sql, error](const QString &why) {
        *error = why;
        sql.finish();
        db_.rollback();
        return false;
    };
    if (!sql.exec(QStringLiteral("DROP TABLE IF EXISTS temp.incoming")) ||
        !sql.exec(QStringLiteral("CREATE TEMP TABLE incoming (") + kColumns + u')') ||
        !sql.prepare(QStringLiteral("INSERT OR REPLACE INTO temp.incoming VALUES (%1)")
                         .arg(QStringList(kHeader.size(), QStringLiteral("CAST(? AS TEXT)"))
                                  .join(QStringLiteral(", "))))) {
        return fail(sql.lastError().text());
    }
    // One decoder for the whole file: it drops the file's BOM only, not one opening a row.
    QStringDecoder decoder(QStringDecoder::Utf8);
    bool headerSeen = false;
    int count = 0;
    for (int n = 1;; ++n) {
        const QString where = QStringLiteral("%1:%2").arg(csvPath).arg(n);
        // readLine keeps a byte back for a terminator: this asks for one byte past the limit.
        const QByteArray bytes = file.readLine(kMaxLineBytes + 2);
        if (bytes.isEmpty()) {
            break;
        }
        if (bytes.size() > kMaxLineBytes) {
            return fail(where + QStringLiteral(": longer than %1 bytes").arg(kMaxLineBytes));
        }
        // Each line is checked whole, so a sequence cut short by the end of the file is refused
        // like any other.
        if (!bytes.isValidUtf8()) {
            return fail(where + QStringLiteral(": not UTF-8 text; save the file as UTF-8"));
        }
        QString line = decoder.decode(bytes);
        while (line.endsWith(u'\n') || line.endsWith(u'\r')) {
            line.chop(1);
        }
        if (line.trimmed().isEmpty() || line.startsWith(u'#')) {
            continue;
        }
        const auto fields = SplitCsvLine(line);
        if (!fields) {
            return fail(where + QStringLiteral(": unbalanced quotes"));
        }
        if (!headerSeen) {
            headerSeen = true;
            if (*fields != kHeader) {
                return fail(where + QStringLiteral(": the first line must be ") +
                            kHeader.join(u','));
            }
            continue;
        }
        if (const QString fault = RowFault(*fields); !fault.isEmpty()) {
            return fail(where + QStringLiteral(": ") + fault);
        }
        for (int i = 0; i < kHeader.size(); ++i) {
            sql.bindValue(i, fields->at(i).toUtf8());
        }
        if (!sql.exec()) {
            return fail(where + QStringLiteral(": ") + sql.lastError().text());
        }
        ++count;
    }
    if (file.error() != QFileDevice::NoError) {
        return fail(QStringLiteral("cannot read %1: %2").arg(csvPath, file.errorString()));
    }
    if (!headerSeen) {
        return fail(csvPath + QStringLiteral(": no header line"));
    }
    if ((mode == ImportMode::Replace && !sql.exec(QStringLiteral("DELETE FROM counts"))) ||
        !sql.exec(QStringLiteral("INSERT OR REPLACE INTO counts SELECT * FROM temp.incoming")) ||
        !sql.exec(QStringLiteral("DROP TABLE temp.incoming"))) {
        return fail(sql.lastError().text());
    }
    sql.finish();
    if (!db_.commit()) {
        *error = db_.lastError().text();
        db_.rollback();
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
