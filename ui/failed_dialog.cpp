#include "ui/failed_dialog.h"

#include "ui/look.h"

#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

namespace shoulu {

FailedDialog::FailedDialog(const BatchLedger &ledger, bool recheckAllowed, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("FailedDialog"));
    setWindowTitle(QStringLiteral("未查到的域名"));
    setWindowIcon(QIcon());
    setFixedSize(480, 400);
    const QFont font = ListFont();

    auto *label = new QLabel(this);
    label->setObjectName(QStringLiteral("heading"));
    label->setTextFormat(Qt::PlainText);
    const BatchLedger::Tally tally = ledger.tally();
    label->setText(QStringLiteral("以下%1个域名未查到结果").arg(tally.failed) +
                   UnansweredNote(tally) + QStringLiteral("："));
    label->setFont(font);
    // Two lines: the counts of entries not reached and not correct may follow the failures.
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(16, 10, 448, 46);

    const QList<FailedEntry> entries = ledger.listed();
    auto *table = new QTableWidget(static_cast<int>(entries.size()), 2, this);
    table->setObjectName(QStringLiteral("FailedList"));
    table->setGeometry(16, 58, 448, 278);
    table->setFont(font);
    table->setHorizontalHeaderLabels({QStringLiteral("域名"), QStringLiteral("原因")});
    table->horizontalHeader()->setFont(font);
    table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    table->horizontalHeader()->setHighlightSections(false);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 6);
    table->setColumnWidth(0, 220);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setWordWrap(false);
    table->setTabKeyNavigation(false);
    for (int row = 0; row < entries.size(); ++row) {
        // Item texts are always plain: a domain or a service's message is never markup here.
        table->setItem(row, 0, new QTableWidgetItem(entries[row].domain));
        table->setItem(row, 1, new QTableWidgetItem(entries[row].reason));
    }

    auto *copy = new QPushButton(QStringLiteral("复制"), this);
    auto *recheck = new QPushButton(QStringLiteral("补查"), this);
    auto *closeButton = new QPushButton(QStringLiteral("关闭"), this);
    copy->setObjectName(QStringLiteral("copyButton"));
    recheck->setObjectName(QStringLiteral("recheckButton"));
    closeButton->setObjectName(QStringLiteral("closeButton"));
    copy->setGeometry(190, 352, 81, 33);
    recheck->setGeometry(286, 352, 81, 33);
    closeButton->setGeometry(383, 352, 81, 33);
    copy->setEnabled(!entries.isEmpty());
    recheck->setEnabled(recheckAllowed);
    closeButton->setDefault(true);
    closeButton->setFocus();

    connect(copy, &QPushButton::clicked, this, [this] {
        if (onCopy) {
            onCopy();
        }
    });
    connect(recheck, &QPushButton::clicked, this, &QDialog::accept);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
}

} // namespace shoulu
