#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
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
// keys from HKCU\Software\QtProject down to a group's. The parts of it that group's settings
// need and that do not exist yet, outermost first; and removing such parts again, deepest first,
// each only while it holds nothing.
QStringList MissingQtSettingsStoreParts(const QString &group);
void RemoveEmptyQtSettingsStoreParts(const QStringList &parts);

// Snapshots one group of Qt's own settings and puts it back as it was when it goes out of scope,
// removing what was not there before: the parts of the store too that the dialog made.
class QtSettingsRestorer {
public:
    explicit QtSettingsRestorer(QString group);
    ~QtSettingsRestorer();
    QtSettingsRestorer(const QtSettingsRestorer &) = delete;
    QtSettingsRestorer &operator=(const QtSettingsRestorer &) = delete;

private:
    QString group_;
    QStringList missingParts_;
    QMap<QString, QVariant> values_;
};

} // namespace shoulu
