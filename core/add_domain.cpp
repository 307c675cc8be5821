#include "core/add_domain.h"

#include "core/domain_import.h"
#include "core/domain_rules.h"
#include "core/form1.h"
#include "core/window_ops.h"

namespace shoulu {

namespace {

// The first failing check names the message; the later ones are not looked at.
QString RejectionOf(const QString &text) {
    if (text.isEmpty()) {
        return QStringLiteral("请输入域名..");
    }
    if (!HasDomainSuffix(text)) {
        return QStringLiteral("域名不正确,您请检查..");
    }
    if (HasHttpScheme(text)) {
        return QStringLiteral("域名不需要加http://..");
    }
    if (HasWwwPrefix(text)) {
        return QStringLiteral("域名不需要加www..");
    }
    return {};
}

} // namespace

void Form2_Command1_Click(WindowOps &window, Form1 &form1, const QString &text, bool queryAtOnce,
                          const std::function<void()> &closeDialog) {
    // Closing may destroy the dialog that owns both arguments.
    const QString domain = text;
    const std::function<void()> close = closeDialog;

    const QString rejection = RejectionOf(domain);
    if (!rejection.isEmpty()) {
        window.messageBox(rejection, kAddDomainTitle, MessageButtons::Ok);
        return;
    }
    // Indexes are 16-bit: one more entry would put the batch position out of range.
    if (window.queueCount() >= kMaxQueueEntries) {
        window.messageBox(
            QStringLiteral("列表已达%1个域名的上限，无法再添加..").arg(kMaxQueueEntries),
            kAddDomainTitle, MessageButtons::Ok);
        return;
    }
    window.appendQueueEntry(domain);
    window.messageBox(QStringLiteral("域名添加成功.."), kAddDomainTitle, MessageButtons::Ok);
    if (queryAtOnce) {
        if (close) {
            close();
        }
        form1.cx();
    }
    if (close) {
        close();
    }
}

} // namespace shoulu
