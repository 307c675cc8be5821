#pragma once

#include "core/window_ops.h"
#include "tests/support/dialog_script.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace shoulu::testing {

// A window made of plain data: it records what the logic does and answers modal boxes and
// file dialogs from the test's script. Nothing here ever blocks.
class FakeWindow : public WindowOps {
public:
    struct Row {
        QString text;
        QString subItems[3];
    };
    struct Message {
        QString text;
        QString title;
        MessageButtons buttons;
        MessageAnswer answer;
    };
    struct FileDialogCall {
        QString title;
        QString filter;
        QString initialFolder;
    };

    FakeWindow();

    // Handlers the test or the logic under test connects.
    std::function<void()> onTimer1;
    std::function<void()> onTimer2;
    std::function<void()> onEndProgram;
    // Runs after a button's caption was set.
    std::function<void(ButtonId, const QString &)> onCaption;

    DialogScript script;

    // Recorded state.
    QStringList queue;
    int selected = -1;
    QString queueToolTip;
    bool queueEnabled = true;
    QList<Row> rows;
    QString panels[5]; // panels[1] to panels[4]
    QStringList panel2History;
    QMap<ButtonId, QString> captions;
    QMap<ButtonId, bool> buttonEnabled;
    int slider = 3;
    bool sliderEnabled = true;
    QString label2 = QStringLiteral("3秒/次");
    QMap<TimerId, int> timerInterval;
    QMap<TimerId, bool> timerEnabled;
    QList<Message> messages;
    QList<FileDialogCall> fileDialogs;
    QStringList browserUrls;
    int highlights = 0;
    bool ended = false;
    bool awake = false;   // the wake request, as the logic last set it
    QStringList progress; // each progress shown, as "reached/total"
    int attentionRequests = 0;
    QString folder;

    // Fires a tick of the timer when it is enabled; returns whether it fired.
    bool fireTimer(TimerId timer);

    // WindowOps
    void clearQueue() override;
    void appendQueueEntry(const QString &text) override;
    int queueCount() const override;
    QString queueEntry(int index) const override;
    void removeQueueEntry(int index) override;
    int selectedIndex() const override;
    void highlightQueueEntry(int index) override;
    void setQueueToolTip(const QString &text) override;
    void setQueueEnabled(bool enabled) override;
    void clearRows() override;
    int appendRow() override;
    void setRowText(int row, const QString &text) override;
    void setRowSubItem(int row, int subItem, const QString &text) override;
    void setPanelText(int panel, const QString &text) override;
    QString buttonCaption(ButtonId button) const override;
    void setButtonCaption(ButtonId button, const QString &caption) override;
    void setButtonEnabled(ButtonId button, bool enabled) override;
    bool isButtonEnabled(ButtonId button) const override;
    int sliderValue() const override;
    void setSliderEnabled(bool enabled) override;
    void setLabel2Caption(const QString &caption) override;
    void setTimerInterval(TimerId timer, int milliseconds) override;
    void setTimerEnabled(TimerId timer, bool enabled) override;
    MessageAnswer messageBox(const QString &text, const QString &title,
                             MessageButtons buttons) override;
    std::optional<QString> openFileDialog(const QString &title, const QString &filter,
                                          const QString &initialFolder) override;
    void openBrowser(const QString &url) override;
    QString programFolder() const override;
    void endProgram() override;
    void keepAwake(bool on) override;
    void showBatchProgress(int reached, int total) override;
    void requestAttention() override;

    // Results table reading, clipboard and save dialog: the selected rows are set by the test,
    // and the save dialog answers from the script as the file-open dialog does.
    QList<int> selectedRowList;
    QString clipboard;
    QList<FileDialogCall> saveDialogs;
    QString documents;
    int rowCount() const override;
    QString rowCell(int row, int column) const override;
    QList<int> selectedRows() const override;
    QString clipboardText() const override;
    void setClipboardText(const QString &text) override;
    std::optional<QString> saveFileDialog(const QString &title, const QString &filter,
                                          const QString &proposedPath) override;
    QString documentsFolder() const override;
};

} // namespace shoulu::testing
