#pragma once

#include "app/program.h"
#include "tests/support/dialog_script.h"
#include "ui/form1_window.h"

#include <QDialog>
#include <QFileDialog>
#include <QList>
#include <QMessageBox>
#include <QStringList>

namespace shoulu::testing {

// What a message box looked like when it was shown.
struct ShownBox {
    QString text;
    QString title;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    QString yesText;
    QString noText;
    QString okText;
    Qt::TextFormat format;
};

// The real main window with its real logic, its modal dialogs answered from the test's script
// instead of a human, the browser recorded instead of launched, the wake request and the
// taskbar's progress and attention recorded instead of asked of the system, and the end
// recorded instead of exiting.
class ScriptedWindow : public Form1Window {
public:
    ScriptedWindow(GetFunction get, PostFunction post, ServiceUrls urls);

    DialogScript script;
    QList<ShownBox> boxes;
    QStringList browserUrls;
    QStringList panel2History;
    int endCalls = 0;
    bool awake = false;
    QStringList progress; // as FakeWindow records it
    int attentionRequests = 0;

    void openBrowser(const QString &url) override { browserUrls.append(url); }
    void endProgram() override { ++endCalls; }
    void keepAwake(bool on) override { awake = on; }
    void showBatchProgress(int reached, int total) override {
        progress.append(QStringLiteral("%1/%2").arg(reached).arg(total));
    }
    void requestAttention() override { ++attentionRequests; }
    void setPanelText(int panel, const QString &text) override;

    template <typename T> T *control(const char *name) const {
        return findChild<T *>(QLatin1String(name));
    }

protected:
    int execModal(QDialog &dialog) override;

private:
    WindowLogic logic_;
};

// A dialog body that types text into the add-domain dialog, sets its check box and presses 添加.
DialogBody AddDomain(const QString &text, bool queryAtOnce);

// Chooses path in the file dialog as a user would.
void ChooseIn(QFileDialog &dialog, const QString &path);

} // namespace shoulu::testing
