#pragma once

#include "core/result_row.h"

#include <QDialog>
#include <QList>

#include <functional>

namespace shoulu {

// The failed domains of the last batch with their reasons, and three buttons: 复制 runs onCopy
// and keeps the dialog open, 补查 accepts it, 关闭 rejects it. Built afresh for every opening.
class FailedDialog : public QDialog {
    Q_OBJECT

public:
    FailedDialog(const QList<FailedEntry> &entries, bool recheckAllowed, QWidget *parent = nullptr);

    std::function<void()> onCopy;
};

} // namespace shoulu
