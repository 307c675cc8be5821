#pragma once

#include "core/batch_ledger.h"

#include <QDialog>
#include <QList>

#include <functional>

namespace shoulu {

// The entries of the last batch without an answer, with their reasons: the failed queries, the
// entries not reached, the skipped ones; and three buttons: 复制 runs onCopy and keeps the dialog
// open, 补查 accepts it, 关闭 rejects it. Built afresh for every opening.
class FailedDialog : public QDialog {
    Q_OBJECT

public:
    FailedDialog(const BatchLedger &ledger, bool recheckAllowed, QWidget *parent = nullptr);

    std::function<void()> onCopy;
};

} // namespace shoulu
