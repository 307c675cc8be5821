// The real main window over scripted services, for looking at it by eye and for screenshots.
//   ui_showcase           the window as it stands after start-up
//   ui_showcase results   the same, then a batch over sample domains at a quick pace
//   ui_showcase menu      the batch, then the results table's right-click menu
//   ui_showcase queue     the batch, then the queue's right-click menu
//   ui_showcase failed    the batch, then the failed-domains dialog
//   ui_showcase stopped   the batch stopped after its first failure, then that dialog
#include "app/program.h"
#include "ui/context_menus.h"
#include "ui/form1_window.h"
#include "ui/translations.h"

#include <QApplication>
#include <QListWidget>
#include <QTableWidget>
#include <QTimer>

namespace {

struct Sample {
    const char *domain;
    const char *counts[6];
};

// Invented figures, shaped like the query service's answers.
const Sample kSamples[] = {
    {"example.com", {"128000", "5230", "96400", "3100", "210500", "8800"}},
    {"example.net", {"4520", "310", "3980", "122", "7600", "415"}},
    {"example.org", {"77", "12", "54", "9", "131", "20"}},
    {"shop.example.com", {"18650", "944", "12020", "517", "30210", "1288"}},
    {"blog.example.cn", {"3312", "85", "2890", "41", "1204", "66"}},
    {"news.example.info", {"12,345", "678", "9,870", "210", "15,002", "903"}},
    {"static.example.org", {"2048", "64", "1790", "33", "866", "27"}},
    {"tools.example.net", {"560", "18", "402", "7", "1140", "25"}},
};

QString Answer(const QString &url) {
    for (const Sample &sample : kSamples) {
        const QString domain = QString::fromUtf8(sample.domain);
        if (url.contains(QStringLiteral("url=") + domain + QLatin1Char('&'))) {
            const auto &c = sample.counts;
            auto count = [](const char *text) {
                const QString value = QString::fromUtf8(text);
                return value.contains(QLatin1Char(','))
                           ? QLatin1Char('"') + value + QLatin1Char('"')
                           : value;
            };
            return QStringLiteral(R"({"result":1,"info":{"web":{"domain":"%1"},)"
                                  R"("bd":{"site":%2,"domain":%3},"so":{"site":%4,"domain":%5},)"
                                  R"("bing":{"site":%6,"domain":%7}}})")
                .arg(domain, count(c[0]), count(c[1]), count(c[2]), count(c[3]), count(c[4]),
                     count(c[5]));
        }
    }
    return QStringLiteral(R"({"result":0,"message":"暂无该域名的收录数据"})");
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication application(argc, argv);
    shoulu::InstallChineseTranslations(application);
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    const bool results = !mode.isEmpty();

    const shoulu::ServiceUrls urls{
        QStringLiteral("https://query.invalid"), QStringLiteral("https://version.invalid"),
        QStringLiteral("https://site.invalid"), QStringLiteral("http://studio.invalid/"),
        QStringLiteral("http://company.invalid/")};
    shoulu::Form1Window window(urls.studio, urls.company);
    shoulu::WindowLogic logic(
        window,
        [](const QString &url) {
            return shoulu::HttpResult{Answer(url), shoulu::HttpFailure::None};
        },
        [](const QString &, const QString &) {
            return QStringLiteral(
                R"({"result":1,"info":{"version":"2.1.0","sid":"18","must":"0"}})");
        },
        urls);
    window.Form_Load();

    QTimer pace;
    if (results) {
        QTimer::singleShot(1500, &window, [&window, &pace, mode] {
            QStringList domains;
            for (const Sample &sample : kSamples) {
                domains.append(QString::fromUtf8(sample.domain));
            }
            domains.insert(5, QStringLiteral("bad.example.io"));
            domains.insert(7, QStringLiteral("missing.example.net"));
            window.appendQueueEntries(domains);
            window.logic().Command2_Click();
            QObject::connect(&pace, &QTimer::timeout, &window, [&window, mode] {
                shoulu::Form1 &form = window.logic();
                if (mode == "stopped" && form.batchRunning() && form.ledger().tally().failed > 0) {
                    form.Command2_Click();
                } else if (form.batchRunning()) {
                    form.Timer1_Timer();
                }
            });
            pace.start(250);
        });
        QTimer::singleShot(5000, &window, [&window, mode] {
            auto *table = window.findChild<QTableWidget *>(QStringLiteral("Listview1"));
            auto *list = window.findChild<QListWidget *>(QStringLiteral("List1"));
            if (mode == "menu") {
                table->setFocus();
                table->selectRow(1);
                table->selectionModel()->select(table->model()->index(2, 0),
                                                QItemSelectionModel::Select |
                                                    QItemSelectionModel::Rows);
                window.contextMenus().openResultsMenu(
                    table->visualItemRect(table->item(2, 1)).center());
            } else if (mode == "queue") {
                window.contextMenus().openQueueMenu(list->visualItemRect(list->item(3)).center());
            } else if (mode == "failed" || mode == "stopped") {
                window.contextMenus().showFailedDialog();
            }
        });
    }
    return QApplication::exec();
}
