// CountStore::importCsv and SplitCsvLine on arbitrary bytes. Besides crashes it checks that a
// refused import leaves the store as it was, that an accepted one holds what it says, and that
// the fields of a line read back the same once quoted again.
#include "service/store.h"
#include "tests/fuzz/fuzz_check.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

const char kSeedRows[] = "domain,bd_site,bd_domain,so_site,so_domain,bing_site,bing_domain\n"
                         "example.com,1,2,3,4,5,6\n"
                         "\xef\xbb\xbf"
                         "bom.com,1,1,1,1,1,\"12,345\"\n";

struct Fixture {
    QTemporaryDir dir;
    shoulu::CountStore store;
    QSqlDatabase reader; // a second connection, as the service's readers have
    QString csvPath;

    Fixture() {
        QString error;
        Check(dir.isValid() && store.open(dir.filePath(QStringLiteral("f.db")), &error));
        reader = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("reader"));
        reader.setDatabaseName(dir.filePath(QStringLiteral("f.db")));
        Check(reader.open());
        csvPath = dir.filePath(QStringLiteral("f.csv"));
        reset();
    }
    void reset() {
        int imported = 0;
        Check(import(kSeedRows, shoulu::ImportMode::Replace, &imported) && imported == 2);
    }
    bool import(const QByteArray &csv, shoulu::ImportMode mode, int *imported) {
        QFile file(csvPath);
        Check(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        Check(file.write(csv) == csv.size());
        file.close();
        QString error;
        const bool done = store.importCsv(csvPath, mode, imported, &error);
        Check(done == error.isEmpty());
        return done;
    }
    // Every row, byte for byte, in order.
    QByteArrayList rows() {
        QSqlQuery query(reader);
        Check(query.exec(QStringLiteral("SELECT CAST(domain || ',' || bd_site || ',' || bd_domain "
                                        "|| ',' || so_site || ',' || so_domain || ',' || "
                                        "bing_site || ',' || bing_domain AS BLOB) FROM counts "
                                        "ORDER BY CAST(domain AS BLOB)")));
        QByteArrayList all;
        while (query.next()) {
            all.append(query.value(0).toByteArray());
        }
        return all;
    }
};

Fixture *fixture = nullptr;

QString Quoted(const QStringList &fields) {
    QStringList quoted;
    for (QString field : fields) {
        quoted.append(u'"' + field.replace(u'"', QStringLiteral("\"\"")) + u'"');
    }
    return quoted.join(u',');
}

void CheckSplit(const QByteArray &data) {
    const QString line = QString::fromUtf8(data);
    const auto fields = shoulu::SplitCsvLine(line);
    if (!fields) {
        Check(line.contains(u'"'));
        return;
    }
    Check(!fields->isEmpty() && fields->size() <= line.count(u',') + 1);
    Check(shoulu::SplitCsvLine(Quoted(*fields)) == fields);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    new QCoreApplication(*argc, *argv);
    fixture = new Fixture;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size) {
    const QByteArray data(reinterpret_cast<const char *>(bytes), static_cast<qsizetype>(size));
    CheckSplit(data);

    // The first byte picks the mode, so that both are tried on the same rows.
    const auto mode =
        !data.isEmpty() && (data[0] & 1) ? shoulu::ImportMode::Merge : shoulu::ImportMode::Replace;
    const QByteArrayList before = fixture->rows();
    int imported = -1;
    if (!fixture->import(data.isEmpty() ? data : data.sliced(1), mode, &imported)) {
        Check(fixture->rows() == before);
        return 0;
    }
    const qsizetype after = fixture->rows().size();
    Check(imported >= 0 && after == fixture->store.rowCount());
    if (mode == shoulu::ImportMode::Replace) {
        Check(after <= imported && (after > 0) == (imported > 0));
    } else {
        Check(after >= before.size() && after <= before.size() + imported);
    }
    // Back to the same few rows, so that the store does not grow from run to run.
    fixture->reset();
    return 0;
}
