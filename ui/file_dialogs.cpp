#include "ui/file_dialogs.h"

#include <QFileDialog>
#include <QSettings>

#include <utility>

namespace shoulu {

QString QtFileFilter(const QString &filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        filters.append(parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}

std::optional<QString> RunFileDialog(QWidget *parent, FileDialogKind kind, const QString &title,
                                     const QString &filter, const QString &start,
                                     const std::function<int(QDialog &)> &execModal) {
    // Qt's own dialog writes its state into the user's settings when it goes; the program keeps
    // no settings, so whatever it wrote is put back as it was.
    const QtSettingsRestorer restorer(QStringLiteral("FileDialog"));
    QFileDialog dialog(parent, title, start, QtFileFilter(filter));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (kind == FileDialogKind::Save) {
        dialog.setObjectName(QStringLiteral("SaveDialog"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(QStringLiteral("csv"));
    } else {
        dialog.setObjectName(QStringLiteral("Cl1"));
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (execModal(dialog) != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) {
        return std::nullopt;
    }
    return files.first();
}

QtSettingsRestorer::QtSettingsRestorer(QString group)
    : group_(std::move(group))
    // Asked before anything opens the store: on Windows opening it creates the keys.
    , missingParts_(MissingQtSettingsStoreParts(group_)) {
    QSettings settings(QSettings::UserScope, QStringLiteral("QtProject"));
    settings.beginGroup(group_);
    for (const QString &key : settings.allKeys()) {
        values_.insert(key, settings.value(key));
    }
}

QtSettingsRestorer::~QtSettingsRestorer() {
    {
        QSettings settings(QSettings::UserScope, QStringLiteral("QtProject"));
        settings.remove(group_);
        settings.beginGroup(group_);
        for (auto it = values_.cbegin(); it != values_.cend(); ++it) {
            settings.setValue(it.key(), it.value());
        }
        settings.endGroup();
    }
    RemoveEmptyQtSettingsStoreParts(missingParts_);
}

} // namespace shoulu
