#pragma once

#include "ui/form1_window.h"

#include <QDialog>
#include <QList>
#include <QMessageBox>
#include <QStringList>

#include <functional>

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
};

// The real main window, with its modal dialogs answered from a script instead of a human,
// the browser recorded instead of launched, and the end recorded instead of exiting.
class TestWindow : public Form1Window {
public:
    using Answer = std::function<int(QDialog &)>;

    TestWindow();

    QList<Answer> answers;  // taken front first, one per modal dialog
    QStringList unanswered; // dialogs shown with no answer left; they are rejected
    QList<ShownBox> boxes;
    QStringList browserUrls;
    int endCalls = 0;
    QStringList getUrls;
    QList<QPair<QString, QString>> posts;
    QString versionAnswer;           // the version service's answer; passes by default
    std::function<void()> duringGet; // runs while a query waits for its answer

    void openBrowser(const QString &url) override { browserUrls.append(url); }
    void endProgram() override { ++endCalls; }

    template <typename T> T *control(const char *name) const {
        return findChild<T *>(QLatin1String(name));
    }

protected:
    int execModal(QDialog &dialog) override;
};

// Script entries.
TestWindow::Answer Press(QMessageBox::StandardButton button);
TestWindow::Answer ChooseFile(const QString &path);
TestWindow::Answer CancelDialog();
// Runs body on the add-domain dialog while it is open; body closes it or it is rejected.
TestWindow::Answer OnDialog(std::function<void(QDialog &)> body);

// A query-service answer naming domain, in the shape the query reads.
QString QueryAnswer(const QString &domain);

} // namespace shoulu::testing
