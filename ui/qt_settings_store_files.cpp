// Qt's own settings where they are a file (Linux and the other Unix systems): the file is the
// one part of the store.
#include "ui/file_dialogs.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace shoulu {

QStringList MissingQtSettingsStoreParts(const QString & /*group*/) {
    const QString file = QSettings(QSettings::UserScope, QStringLiteral("QtProject")).fileName();
    return QFileInfo::exists(file) ? QStringList() : QStringList{file};
}

void RemoveEmptyQtSettingsStoreParts(const QStringList &parts) {
    const QSettings settings(QSettings::UserScope, QStringLiteral("QtProject"));
    if (parts.contains(settings.fileName()) && settings.allKeys().isEmpty() &&
        QFileInfo(settings.fileName()).isFile()) {
        QFile::remove(settings.fileName());
    }
}

} // namespace shoulu
