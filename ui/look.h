#pragma once

#include <QCursor>
#include <QFont>
#include <QString>
#include <QStringList>

class QCoreApplication;

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

// The skin library's entry point, as a Qt stand-in: applies the style sheet in skinPath to the
// whole application when the file exists. Returns 1 when a skin was applied, else 0.
int SkinH_AttachEx(const QString &skinPath, const QString &password);

} // namespace shoulu
