#include "ui/look.h"

#include <QApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace shoulu {

QStringList ListFontCandidates() {
    return {QStringLiteral("微软雅黑"), QStringLiteral("Microsoft YaHei"),
            QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei")};
}

QFont ListFont() {
    // Qt takes the first family of the list that is installed, by its exact name, when the
    // font is first used; asking the font database here would load it up front.
    QFont font;
    font.setFamilies(ListFontCandidates());
    font.setPointSizeF(10.5);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    return font;
}

QCursor HandCursor() {
    return QCursor(Qt::PointingHandCursor);
}

void InstallChineseTranslations(QCoreApplication &application) {
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    auto *translator = new QTranslator(&application);
    const QString name = QStringLiteral("qtbase_zh_CN");
    if (translator->load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        translator->load(name, QStringLiteral("/usr/share/qt6/translations"))) {
        QCoreApplication::installTranslator(translator);
    } else {
        delete translator;
    }
}

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
