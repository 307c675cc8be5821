// A whole batch without the pace: Form1 with the real HTTP client over loopback HTTPS against a
// real shoulu-service, every entry in the store, ticks fired back to back through the recording
// fake window. Prints resident memory before and after against the rows' own size (with glibc's
// heap figures, which tell live memory from the allocator's free space), and the median time per
// query of the first and the last 1,000 queries. Linux and glibc only.
//
//   bench_soak [QUERIES]     default 32767 (a full queue)
#include "bench/common/median.h"
#include "bench/common/resident_memory.h"
#include "core/domain_import.h"
#include "core/form1.h"
#include "core/window_ops.h"
#include "net/http_client.h"
#include "net/http_get.h"
#include "net/protocol.h"
#include "tests/service/service_harness.h"
#include "tests/support/fake_window.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <malloc.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace shoulu::bench {

namespace {

using testing::FakeWindow;

constexpr int kEighths = 8;

QString SoakDomain(int i) {
    static const char *const kSuffixes[] = {"com", "net", "cn", "org"};
    return QStringLiteral("soak%1.%2").arg(i).arg(QLatin1String(kSuffixes[i % 4]));
}

// The store's content: one line per queue entry, with counts of varying length.
QByteArray SoakCsv(int count) {
    QByteArray csv = "domain,bd_site,bd_domain,so_site,so_domain,bing_site,bing_domain\n";
    for (int i = 0; i < count; ++i) {
        csv += SoakDomain(i).toUtf8();
        for (int field = 1; field <= 6; ++field) {
            csv += ',' + QByteArray::number((i * 7919LL + field * 104729LL) % 9999991);
        }
        csv += '\n';
    }
    return csv;
}

// The allocator's share of one QString: glibc hands out 16-byte multiples with an 8-byte
// header, and Qt puts a 16-byte header and the terminator before and after the characters.
qint64 StringBytes(const QString &text) {
    if (text.isNull()) {
        return 0;
    }
    const qint64 requested = 16 + 2 * (text.capacity() + 1);
    return std::max<qint64>(32, (requested + 8 + 15) / 16 * 16);
}

// What the rows themselves take: the list's array (its capacity, slack included) and each
// string's heap block.
qint64 RowBytes(const QList<FakeWindow::Row> &rows) {
    qint64 bytes = rows.capacity() * qint64(sizeof(FakeWindow::Row));
    for (const FakeWindow::Row &row : rows) {
        bytes += StringBytes(row.text);
        for (const QString &sub : row.subItems) {
            bytes += StringBytes(sub);
        }
    }
    return bytes;
}

// Bytes handed out by glibc's allocator, its own block headers included, free space excluded.
qint64 HeapInUseBytes() {
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}

// CPU time of the calling thread: this process's own work for a query, without the service's
// and without the time other processes took from it.
qint64 ThreadCpuNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Free bytes the allocator keeps in its arenas rather than giving back.
qint64 HeapFreeBytes() {
    return qint64(mallinfo2().fordblks);
}

struct Medians {
    std::size_t span = 0;
    double firstUs = 0;
    double lastUs = 0;
    double ratio() const { return lastUs / firstUs; }
};

// The medians of the first and the last 1,000 samples (half each when fewer).
Medians FirstAndLast(const std::vector<qint64> &samples) {
    Medians medians;
    medians.span = std::min<std::size_t>(1000, samples.size() / 2);
    const auto span = long(medians.span);
    medians.firstUs = MedianMicroseconds({samples.begin(), samples.begin() + span});
    medians.lastUs = MedianMicroseconds({samples.end() - span, samples.end()});
    return medians;
}

void PrintEighths(const char *title, const std::vector<qint64> &samples) {
    std::printf("  %s", title);
    for (int part = 0; part < kEighths; ++part) {
        const auto from = samples.begin() + long(samples.size() * std::size_t(part) / kEighths);
        const auto to = samples.begin() + long(samples.size() * std::size_t(part + 1) / kEighths);
        std::printf(" %.1f", MedianMicroseconds({from, to}));
    }
    std::printf("\n");
}

double Mib(double kilobytes) {
    return kilobytes / 1024.0;
}

int Run(int queries) {
    const long startKb = ResidentKilobytes();
    testing::ServiceProcess service;
    QString error;
    // The service writes its log (a line per request) to a file in its folder, not to a pipe
    // this process reads, so the log takes none of this process's memory.
    if (!service.prepareWithCsv(SoakCsv(queries), &error) || !service.start({}, &error)) {
        std::fprintf(stderr, "the service did not start: %s\n", qPrintable(error));
        return 1;
    }
    HttpClient client(service.caPem());
    SetProgramClient(&client);

    FakeWindow window;
    Form1 form(window, FetchGet, service.baseUrl());
    window.onTimer1 = [&form] { form.Timer1_Timer(); };
    for (int i = 0; i < queries; ++i) {
        window.queue.append(SoakDomain(i));
    }
    // The fake's row list is sized once: growing by doubling would leave freed arrays and
    // untouched capacity behind, which belong to the stand-in, not to the program.
    window.rows.reserve(queries);

    // One query outside the batch first: TLS set-up, certificate store and the kept-alive
    // connection are paid once and are not a per-query cost.
    if (!FetchGet(QueryUrl(service.baseUrl(), SoakDomain(0))).answered()) {
        std::fprintf(stderr, "the warm-up query was not answered\n");
        return 1;
    }
    // Written through now, so their pages are resident before the first figure is taken.
    std::vector<qint64> times(std::size_t(queries), 0);
    std::vector<qint64> cpuTimes(std::size_t(queries), 0);
    int done = 0;
    const int step = std::max(1, queries / kEighths);
    std::vector<long> checkpointKb;
    checkpointKb.reserve(kEighths + 1);
    QCoreApplication::processEvents();
    const long beforeKb = ResidentKilobytes();
    const qint64 heapBefore = HeapInUseBytes();
    const qint64 freeBefore = HeapFreeBytes();

    QElapsedTimer whole;
    whole.start();
    QElapsedTimer timer;
    timer.start();
    qint64 cpuStart = ThreadCpuNanoseconds();
    form.Command2_Click();
    times[0] = timer.nsecsElapsed();
    cpuTimes[0] = ThreadCpuNanoseconds() - cpuStart;
    done = 1;
    for (;;) {
        // The real window records no history of the status panel or of the progress shown, and
        // returns to its event loop between ticks.
        window.panel2History.clear();
        window.progress.clear();
        QCoreApplication::processEvents();
        if (done % step == 0) {
            checkpointKb.push_back(ResidentKilobytes());
        }
        timer.restart();
        cpuStart = ThreadCpuNanoseconds();
        if (!window.fireTimer(TimerId::Timer1) || done == queries) {
            break;
        }
        times[std::size_t(done)] = timer.nsecsElapsed();
        cpuTimes[std::size_t(done++)] = ThreadCpuNanoseconds() - cpuStart;
    }
    const double wholeSeconds = double(whole.nsecsElapsed()) / 1e9;
    window.panel2History.clear();
    window.progress.clear();
    QCoreApplication::processEvents();
    const long afterKb = ResidentKilobytes();
    const qint64 heapAfter = HeapInUseBytes();
    const qint64 freeAfter = HeapFreeBytes();

    if (done != queries || window.fireTimer(TimerId::Timer1) || window.rows.size() != queries ||
        !form.ledger().isEmpty() || form.batchRunning()) {
        const QList<FailedEntry> failed = form.ledger().listed();
        std::fprintf(
            stderr, "the batch did not give a row per entry: %d ticks, %lld rows, %lld failed%s\n",
            done, static_cast<long long>(window.rows.size()), static_cast<long long>(failed.size()),
            failed.isEmpty()
                ? ""
                : qPrintable(QStringLiteral(" (first: ") + failed.first().reason + u')'));
        return 1;
    }

    const double rowKb = double(RowBytes(window.rows)) / 1024.0;
    const double growthKb = double(afterKb - beforeKb);
    std::printf("soak: %d queries back to back through the recording fake window (FakeWindow), "
                "real HttpClient over loopback HTTPS to a real shoulu-service, %.1f s in all\n",
                queries, wholeSeconds);
    std::printf("resident memory (VmRSS): %.1f MiB at start, %.1f MiB before the batch (after "
                "one warm-up query), %.1f MiB after\n",
                Mib(double(startKb)), Mib(double(beforeKb)), Mib(double(afterKb)));
    std::printf("  during the batch, every %d queries (MiB):", step);
    for (const long kb : checkpointKb) {
        std::printf(" %.1f", Mib(double(kb)));
    }
    std::printf("\n");
    std::printf("rows held: %lld, their own size %.1f MiB (estimate: per string a 16-byte header "
                "and (capacity + 1) x 2 bytes, in glibc blocks of 16 with 8 bytes of their own; "
                "plus the list's capacity x %zu bytes)\n",
                static_cast<long long>(window.rows.size()), Mib(rowKb), sizeof(FakeWindow::Row));
    std::printf("resident growth %.2f MiB against rows %.2f MiB: %.3f x (target <= 1.000) %s\n",
                Mib(growthKb), Mib(rowKb), growthKb / rowKb, growthKb <= rowKb ? "met" : "NOT met");
    const double heapGrowthKb = double(heapAfter - heapBefore) / 1024.0;
    const double freeGrowthKb = double(freeAfter - freeBefore) / 1024.0;
    window.rows.clear(); // keeps the list's array, which was there before the batch
    const double heapLeftKb = double(HeapInUseBytes() - heapBefore) / 1024.0;
    std::printf("heap (glibc mallinfo2): in use grew %.2f MiB, the allocator's free space grew "
                "%.2f MiB; with the rows freed, %.1f KiB in use above before the batch (%.2f "
                "bytes per query)\n",
                Mib(heapGrowthKb), Mib(freeGrowthKb), heapLeftKb, heapLeftKb * 1024.0 / queries);
    const Medians wall = FirstAndLast(times);
    std::printf("median per query: first %zu %.1f us, last %zu %.1f us, ratio %.3f (target <= "
                "1.20) %s\n",
                wall.span, wall.firstUs, wall.span, wall.lastUs, wall.ratio(),
                wall.ratio() <= 1.2 ? "met" : "NOT met");
    // The trend over the whole batch tells a steady climb from a passing burst of load.
    PrintEighths("median of each eighth of the batch (us):", times);
    const Medians cpu = FirstAndLast(cpuTimes);
    std::printf("this thread's CPU per query (median): first %zu %.1f us, last %zu %.1f us, ratio "
                "%.3f\n",
                cpu.span, cpu.firstUs, cpu.span, cpu.lastUs, cpu.ratio());
    PrintEighths("median of each eighth (us):", cpuTimes);
    return 0;
}

} // namespace

} // namespace shoulu::bench

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    int queries = shoulu::kMaxQueueEntries;
    if (argc > 1) {
        // At least two, so there is a first and a last; at most a full queue.
        queries = std::clamp(QByteArray(argv[1]).toInt(), 2, shoulu::kMaxQueueEntries);
    }
    return shoulu::bench::Run(queries);
}
