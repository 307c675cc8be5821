#include "app/startup.h"

namespace shoulu {

QString VersionText(const QString &version) {
    return QStringLiteral("V") + version;
}

QString SkinFilePath(const QString &programFolder) {
    return programFolder + QStringLiteral("/skinh.she");
}

bool ConfirmClose(WindowOps &window) {
    const MessageAnswer answer =
        window.messageBox(QStringLiteral("确定退出软件吗?"), kNoticeTitle, MessageButtons::YesNo);
    if (answer != MessageAnswer::Yes) {
        return false;
    }
    window.endProgram();
    return true;
}

} // namespace shoulu
