#pragma once

#include <QCursor>
#include <QFont>
#include <QStringList>

namespace shoulu {

// How the lists, labels and the dialog's check box look.

// Families tried for the list and label font, best first.
QStringList ListFontCandidates();

// "微软雅黑" 10.5 pt, which every Chinese Windows has; elsewhere (Linux, Wine) the first
// installed of its stand-ins, so CJK text never shows boxes.
QFont ListFont();

// The pointer shown over the domain queue and the dialog's check box.
QCursor HandCursor();

} // namespace shoulu
