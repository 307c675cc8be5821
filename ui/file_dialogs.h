#pragma once

#include <QMap>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>

class QDialog;
class QWidget;

namespace shoulu {

// "文本文件|*.txt" → "文本文件 (*.txt)"; pairs of label and pattern, patterns split by ';'.
QString QtFileFilter(const QString &filter);

enum class FileDialogKind {
    Open, // the file-open dialog (Cl1): an existing file
    Save, // the export's save dialog: any name, ".csv" added when none is given
};

// Qt's own file dialog, whose texts are Chinese whatever the system, run through execModal: the
// chosen path, or nothing when cancelled. It leaves no settings behind.
std::optional<QString> RunFileDialog(QWidget *parent, FileDialogKind kind, const QString &title,
                                     const QString &filter, const QString &start,
                                     const std::function<int(QDialog &)> &execModal);

// Where Qt keeps its own settings ("QtProject") for the user: a file, or on Windows the registry
// key HKCU\Software\QtProject. Whether it exists; and removing it when it holds nothing.
bool QtSettingsStoreExists();
void RemoveEmptyQtSettingsStore();

// Snapshots one group of Qt's own settings and puts it back as it was when it goes out of scope,
// removing what was not there before: the store too, when the dialog made it.
class QtSettingsRestorer {
public:
    explicit QtSettingsRestorer(QString group);
    ~QtSettingsRestorer();
    QtSettingsRestorer(const QtSettingsRestorer &) = delete;
    QtSettingsRestorer &operator=(const QtSettingsRestorer &) = delete;

private:
    QString group_;
    bool storeExisted_ = false;
    QMap<QString, QVariant> values_;
};

} // namespace shoulu
