#pragma once

#include <QCursor>
#include <QFont>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

class QCoreApplication;
class QWidget;

namespace shoulu {

// Families tried for the list and label font, best first.
QStringList ListFontCandidates();

// "微软雅黑" 10.5 pt, which every Chinese Windows has; elsewhere (Linux, Wine) the first
// installed of its stand-ins, so CJK text never shows boxes.
QFont ListFont();

// The pointer shown over the domain queue and the dialog's check box.
QCursor HandCursor();

// Loads Qt's own Simplified-Chinese texts (standard buttons, file dialog) whatever the locale.
void InstallChineseTranslations(QCoreApplication &application);

// text as a tooltip shows it, never taken for markup.
QString PlainToolTip(const QString &text);

// Places a top-level window so that its whole frame, title bar included, is centred on its
// screen.
void CentreFrameOnScreen(QWidget &window);

// Snapshots one group of Qt's own settings ("QtProject") and puts it back as it was when it goes
// out of scope, removing what was not there before.
class QtSettingsRestorer {
public:
    explicit QtSettingsRestorer(QString group);
    ~QtSettingsRestorer();
    QtSettingsRestorer(const QtSettingsRestorer &) = delete;
    QtSettingsRestorer &operator=(const QtSettingsRestorer &) = delete;

private:
    QString group_;
    bool fileExisted_ = false;
    QMap<QString, QVariant> values_;
};

// The skin library's entry point, as a Qt stand-in: applies the style sheet in skinPath to the
// whole application when the file exists. Returns 1 when a skin was applied, else 0.
int SkinH_AttachEx(const QString &skinPath, const QString &password);

} // namespace shoulu
