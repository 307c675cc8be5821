// Qt's own settings where they are a file (Linux and the other Unix systems).
#include "ui/file_dialogs.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace shoulu {

bool QtSettingsStoreExists() {
    return QFileInfo::exists(
        QSettings(QSettings::UserScope, QStringLiteral("QtProject")).fileName());
}

void RemoveEmptyQtSettingsStore() {
    const QSettings settings(QSettings::UserScope, QStringLiteral("QtProject"));
    if (settings.allKeys().isEmpty() && QFileInfo(settings.fileName()).isFile()) {
        QFile::remove(settings.fileName());
    }
}

} // namespace shoulu
