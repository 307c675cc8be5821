#include "tests/ui/window_harness.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QTest>

namespace shoulu::testing {

namespace {

QString ButtonText(QMessageBox &box, QMessageBox::StandardButton which) {
    QAbstractButton *button = box.button(which);
    return button != nullptr ? button->text() : QString();
}

QString DomainOf(const QString &url) {
    const qsizetype start = url.indexOf(QStringLiteral("url=")) + 4;
    return url.mid(start, url.indexOf(QStringLiteral("&token=")) - start);
}

} // namespace

QString QueryAnswer(const QString &domain) {
    return QStringLiteral(R"({"info":{"web":{"domain":"%1"},"bd":{"site":1200,"domain":34},)"
                          R"("so":{"site":560,"domain":7},"bing":{"site":89,"domain":0}}})")
        .arg(domain);
}

TestWindow::TestWindow()
    : Form1Window(
          [this](const QString &url) {
              getUrls.append(url);
              if (duringGet) {
                  duringGet();
              }
              return QueryAnswer(DomainOf(url));
          },
          [this](const QString &url, const QString &data) {
              posts.append({url, data});
              return versionAnswer;
          },
          {QStringLiteral("https://query.test"), QStringLiteral("https://version.test"),
           QStringLiteral("https://site.test"), QStringLiteral("http://studio.test/"),
           QStringLiteral("http://company.test/")})
    , versionAnswer(
          QStringLiteral(R"({"result":1,"info":{"version":"2.1.0","sid":"5","must":"0"}})")) {}

int TestWindow::execModal(QDialog &dialog) {
    if (auto *box = qobject_cast<QMessageBox *>(&dialog)) {
        boxes.append({box->text(), box->windowTitle(), box->icon(), box->standardButtons(),
                      ButtonText(*box, QMessageBox::Yes), ButtonText(*box, QMessageBox::No),
                      ButtonText(*box, QMessageBox::Ok)});
    }
    if (answers.isEmpty()) {
        unanswered.append(dialog.windowTitle());
        dialog.reject();
        return dialog.result();
    }
    return answers.takeFirst()(dialog);
}

TestWindow::Answer Press(QMessageBox::StandardButton button) {
    return [button](QDialog &dialog) {
        auto *box = qobject_cast<QMessageBox *>(&dialog);
        if (box == nullptr || box->button(button) == nullptr) {
            QTest::qFail("expected a message box with that button", __FILE__, __LINE__);
            dialog.reject();
            return dialog.result();
        }
        box->button(button)->click();
        return box->result();
    };
}

TestWindow::Answer ChooseFile(const QString &path) {
    return [path](QDialog &dialog) {
        auto *files = qobject_cast<QFileDialog *>(&dialog);
        if (files == nullptr) {
            QTest::qFail("expected the file dialog", __FILE__, __LINE__);
            dialog.reject();
            return dialog.result();
        }
        files->selectFile(path);
        QMetaObject::invokeMethod(files, "accept");
        return files->result();
    };
}

TestWindow::Answer CancelDialog() {
    return [](QDialog &dialog) {
        dialog.reject();
        return dialog.result();
    };
}

TestWindow::Answer OnDialog(std::function<void(QDialog &)> body) {
    return [body](QDialog &dialog) {
        // The dialog is shown, as exec would, so focus and default button behave as for a user.
        dialog.show();
        body(dialog);
        if (dialog.isVisible()) {
            dialog.reject();
        }
        return dialog.result();
    };
}

} // namespace shoulu::testing
