#include "tests/support/scripted_window.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>

namespace shoulu::testing {

namespace {

QString ButtonText(QMessageBox &box, QMessageBox::StandardButton which) {
    QAbstractButton *button = box.button(which);
    return button != nullptr ? button->text() : QString();
}

QMessageBox::StandardButton ButtonOf(MessageAnswer answer) {
    switch (answer) {
    case MessageAnswer::Yes:
        return QMessageBox::Yes;
    case MessageAnswer::No:
        return QMessageBox::No;
    default:
        return QMessageBox::Ok;
    }
}

int AnswerBox(QMessageBox &box, DialogScript &script) {
    const bool yesNo = box.button(QMessageBox::Yes) != nullptr;
    const MessageAnswer answer =
        script.answerBox(yesNo ? MessageButtons::YesNo : MessageButtons::Ok);
    if (QAbstractButton *button = box.button(ButtonOf(answer))) {
        button->click();
    } else {
        box.reject();
    }
    return box.result();
}

int AnswerFile(QFileDialog &files, DialogScript &script) {
    const std::optional<QString> path = script.answerFile();
    if (!path) {
        files.reject();
    } else {
        ChooseIn(files, *path);
    }
    return files.result();
}

} // namespace

void ChooseIn(QFileDialog &dialog, const QString &path) {
    dialog.selectFile(path);
    QMetaObject::invokeMethod(&dialog, "accept");
}

ScriptedWindow::ScriptedWindow(GetFunction get, PostFunction post, ServiceUrls urls)
    : Form1Window(urls.studio, urls.company)
    , logic_(*this, std::move(get), std::move(post), urls) {}

void ScriptedWindow::setPanelText(int panel, const QString &text) {
    if (panel == 2) {
        panel2History.append(text);
    }
    Form1Window::setPanelText(panel, text);
}

int ScriptedWindow::execModal(QDialog &dialog) {
    auto *box = qobject_cast<QMessageBox *>(&dialog);
    if (box != nullptr) {
        boxes.append({box->text(), box->windowTitle(), box->icon(), box->standardButtons(),
                      ButtonText(*box, QMessageBox::Yes), ButtonText(*box, QMessageBox::No),
                      ButtonText(*box, QMessageBox::Ok), box->textFormat()});
    }
    if (const std::optional<DialogBody> body = script.answerDialog()) {
        // Shown, as exec would, so focus and the default button behave as for a user.
        dialog.show();
        (*body)(dialog);
        if (dialog.isVisible()) {
            dialog.reject();
        }
        return dialog.result();
    }
    if (box != nullptr) {
        return AnswerBox(*box, script);
    }
    if (auto *files = qobject_cast<QFileDialog *>(&dialog)) {
        return AnswerFile(*files, script);
    }
    script.unanswered.append(dialog.windowTitle());
    dialog.reject();
    return dialog.result();
}

DialogBody AddDomain(const QString &text, bool queryAtOnce) {
    return [text, queryAtOnce](QDialog &dialog) {
        dialog.findChild<QLineEdit *>(QStringLiteral("Text1"))->setText(text);
        dialog.findChild<QCheckBox *>(QStringLiteral("Check1"))->setChecked(queryAtOnce);
        dialog.findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    };
}

} // namespace shoulu::testing
