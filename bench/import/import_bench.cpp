#include "bench/import/import_bench.h"

#include "bench/common/median.h"

#include "core/domain_import.h"
#include "core/window_ops.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStringEncoder>

#include <utility>
#include <vector>

namespace shoulu::bench {

void WriteImportBenchList(const QString &path) {
    QString text;
    for (int i = 0; i < kMaxQueueEntries; ++i) {
        switch (i % 4) {
        case 0:
            text += QStringLiteral("http://www.site%1.com\r\n").arg(i);
            break;
        case 1:
            text += QStringLiteral("www.站点%1.cn\r\n").arg(i);
            break;
        case 2:
            text += QStringLiteral("example%1.net\r\n\r\n").arg(i);
            break;
        default:
            text += QStringLiteral("http://shop%1.org\r\n").arg(i);
            break;
        }
    }
    QStringEncoder gbk("GBK");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qFatal("cannot write %s", qPrintable(path));
    }
    file.write(gbk.encode(text));
}

double MedianImportMilliseconds(const std::function<WindowOps &()> &prepareWindow, int runs) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        WindowOps &window = prepareWindow();
        QElapsedTimer timer;
        timer.start();
        Command1_Click(window, [&window](int index) { window.highlightQueueEntry(index); });
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        if (window.queueCount() != kMaxQueueEntries) {
            qFatal("import loaded %d entries", window.queueCount());
        }
    }
    return Median(std::move(times));
}

} // namespace shoulu::bench
