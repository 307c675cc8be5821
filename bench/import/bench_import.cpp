// Import of a 32767-line GBK list into the recording fake window.
#include "bench/import/import_bench.h"
#include "tests/support/fake_window.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("domains.txt"));
    shoulu::bench::WriteImportBenchList(path);

    std::unique_ptr<shoulu::testing::FakeWindow> window;
    const auto prepare = [&]() -> shoulu::WindowOps & {
        window = std::make_unique<shoulu::testing::FakeWindow>();
        window->script.answers.append(shoulu::testing::ChooseFile{path});
        return *window;
    };
    const int runs = 11;
    const double ms = shoulu::bench::MedianImportMilliseconds(prepare, runs);
    std::printf("import of 32767 lines into the fake window: median %.1f ms over %d runs "
                "(target <= 100 ms)\n",
                ms, runs);
    return 0;
}
