#include "ui/failed_dialog.h"

#include "ui/look.h"

#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

namespace shoulu {

FailedDialog::FailedDialog(const QList<FailedEntry> &entries, bool recheckAllowed, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , table_(new QTableWidget(static_cast<int>(entries.size()), 2, this))
    , copy_(new QPushButton(QStringLiteral("复制"), this))
    , recheck_(new QPushButton(QStringLiteral("补查"), this))
    , close_(new QPushButton(QStringLiteral("关闭"), this)) {
    setObjectName(QStringLiteral("FailedDialog"));
    setWindowTitle(QStringLiteral("未查到的域名"));
    setWindowIcon(QIcon());
    setFixedSize(480, 400);
    const QFont font = ListFont();

    auto *label = new QLabel(this);
    label->setTextFormat(Qt::PlainText);
    label->setText(QStringLiteral("以下%1个域名未查到结果：").arg(entries.size()));
    label->setFont(font);
    label->setGeometry(16, 12, 448, 24);

    table_->setObjectName(QStringLiteral("FailedList"));
    table_->setGeometry(16, 40, 448, 296);
    table_->setFont(font);
    table_->setHorizontalHeaderLabels({QStringLiteral("域名"), QStringLiteral("原因")});
    table_->horizontalHeader()->setFont(font);
    table_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    table_->horizontalHeader()->setHighlightSections(false);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 6);
    table_->setColumnWidth(0, 220);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setWordWrap(false);
    table_->setTabKeyNavigation(false);
    for (int row = 0; row < entries.size(); ++row) {
        // Item texts are always plain: a domain or a service's message is never markup here.
        table_->setItem(row, 0, new QTableWidgetItem(entries[row].domain));
        table_->setItem(row, 1, new QTableWidgetItem(entries[row].reason));
    }

    copy_->setObjectName(QStringLiteral("copyButton"));
    recheck_->setObjectName(QStringLiteral("recheckButton"));
    close_->setObjectName(QStringLiteral("closeButton"));
    copy_->setGeometry(190, 352, 81, 33);
    recheck_->setGeometry(286, 352, 81, 33);
    close_->setGeometry(383, 352, 81, 33);
    copy_->setEnabled(!entries.isEmpty());
    recheck_->setEnabled(recheckAllowed && !entries.isEmpty());
    close_->setDefault(true);
    close_->setFocus();

    connect(copy_, &QPushButton::clicked, this, [this] {
        if (onCopy) {
            onCopy();
        }
    });
    connect(recheck_, &QPushButton::clicked, this, &QDialog::accept);
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
}

} // namespace shoulu
