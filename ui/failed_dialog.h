#pragma once

#include "core/unanswered_entries.h"

#include <QDialog>
#include <QList>

#include <functional>

namespace shoulu {

// The unanswered entries of the last batch with their reasons, the failed queries first, and
// three buttons: 复制 runs onCopy
// and keeps the dialog open, 补查 accepts it, 关闭 rejects it. Built afresh for every opening.
class FailedDialog : public QDialog {
    Q_OBJECT

public:
    FailedDialog(const UnansweredEntries &unanswered, bool recheckAllowed,
                 QWidget *parent = nullptr);

    std::function<void()> onCopy;
};

} // namespace shoulu
