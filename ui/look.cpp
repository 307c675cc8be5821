#include "ui/look.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QSettings>
#include <QTextDocument>
#include <QTranslator>
#include <QWidget>
#include <QWindow>

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

QString PlainToolTip(const QString &text) {
    if (!Qt::mightBeRichText(text)) {
        return text;
    }
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() +
           QStringLiteral("</p>");
}

void CentreFrameOnScreen(QWidget &window) {
    // The native window exists from here on, so the frame around the client area is known where
    // the platform tells it before mapping.
    window.winId();
    const QScreen *screen = window.screen();
    if (screen == nullptr) {
        return;
    }
    QMargins margins;
    if (const QWindow *handle = window.windowHandle()) {
        margins = handle->frameMargins();
    }
    QRect frame(QPoint(), window.size().grownBy(margins));
    frame.moveCenter(screen->geometry().center());
    window.move(frame.topLeft());
}

QtSettingsRestorer::QtSettingsRestorer(QString group)
    : group_(std::move(group)) {
    QSettings settings(QSettings::UserScope, QStringLiteral("QtProject"));
    fileExisted_ = QFileInfo::exists(settings.fileName());
    settings.beginGroup(group_);
    for (const QString &key : settings.allKeys()) {
        values_.insert(key, settings.value(key));
    }
}

QtSettingsRestorer::~QtSettingsRestorer() {
    QSettings settings(QSettings::UserScope, QStringLiteral("QtProject"));
    settings.remove(group_);
    settings.beginGroup(group_);
    for (auto it = values_.cbegin(); it != values_.cend(); ++it) {
        settings.setValue(it.key(), it.value());
    }
    settings.endGroup();
    settings.sync();
    // A settings file that only the dialog made goes with it (on file-based platforms).
    if (!fileExisted_ && settings.allKeys().isEmpty() && QFileInfo(settings.fileName()).isFile()) {
        QFile::remove(settings.fileName());
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
