#include "ui/skin.h"

#include <QApplication>
#include <QFile>

namespace shoulu {

int SkinH_AttachEx(const QString &skinPath, const QString &password) {
    Q_UNUSED(password); // our skins are plain style sheets
    QFile file(skinPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return 0;
    }
    qApp->setStyleSheet(QString::fromUtf8(file.readAll()));
    return 1;
}

} // namespace shoulu
