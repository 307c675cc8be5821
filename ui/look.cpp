#include "ui/look.h"

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

} // namespace shoulu
