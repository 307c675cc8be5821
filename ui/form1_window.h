#pragma once

#include "core/form1.h"
#include "core/window_ops.h"
#include "ui/taskbar.h"

#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QDialog;
class QLabel;
class QListWidget;
class QPushButton;
class QSlider;
class QStatusBar;
class QTableWidget;
class QTimer;

namespace shoulu {

class ContextMenus;
class ResultsSorting;

// What the start-up layer, which stands above the window, hands it: Timer2's tick (the version
// check), what a close asks, the request to the system to stay awake, and the texts of the
// start-up sequence.
struct StartupHooks {
    std::function<void()> versionTick;
    std::function<void()> confirmClose;
    std::function<void(bool)> holdAwake;
    QString skinFile;
    QString versionText;
};

// The main window (Form1) as a view: it lays out every control (form1_layout.cpp), implements the
// window operations for the logic (form1_window_ops.cpp), and routes each event to the handler of
// the same name of the Form1 it is connected to.
//
// Every modal dialog runs through execModal, and leaving the program through endProgram; tests
// override both (and openBrowser) so no box waits for a human and nothing really exits.
class Form1Window : public QWidget, public WindowOps {
    Q_OBJECT

public:
    // Command3 and Command4 open studioUrl and companyUrl.
    Form1Window(QString studioUrl, QString companyUrl, QWidget *parent = nullptr);
    ~Form1Window() override;

    // Routes the controls' events to form1 and Timer2's tick, a close and the wake request to the
    // hooks, and sets up the menus and the sorting, which ask form1 what they may offer. Once,
    // before Form_Load.
    void connectLogic(Form1 &form1, StartupHooks hooks);

    // The start-up sequence: skin, no icon, locked columns, show, version text in panel 3.
    void Form_Load();

    Form1 &logic() { return *form1_; }
    ContextMenus &contextMenus() { return *contextMenus_; }

    // Command6: the add-domain dialog (Form2), modal.
    void showAddDomainDialog();

    // WindowOps
    void clearQueue() override;
    void appendQueueEntry(const QString &text) override;
    void appendQueueEntries(const QStringList &texts) override;
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
    int rowCount() const override;
    QString rowCell(int row, int column) const override;
    QList<int> selectedRows() const override;
    QString clipboardText() const override;
    void setClipboardText(const QString &text) override;
    std::optional<QString> saveFileDialog(const QString &title, const QString &filter,
                                          const QString &proposedPath) override;
    QString documentsFolder() const override;

protected:
    // Runs a modal dialog and returns its result code.
    virtual int execModal(QDialog &dialog);

    void closeEvent(QCloseEvent *event) override;
    // A drag over any part of the window goes to Form1, which says whether it would be taken.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void buildControls();
    bool overQueue(QPointF position) const;
    void queueSelectionChanged();
    QPushButton *button(ButtonId id) const;
    QTimer *timer(TimerId id) const;

    QListWidget *list1_ = nullptr;
    QTableWidget *listview1_ = nullptr;
    QStatusBar *s1_ = nullptr;
    std::array<QLabel *, 4> panels_{};
    std::array<QPushButton *, 6> buttons_{};
    QLabel *label1_ = nullptr;
    QLabel *label2_ = nullptr;
    QSlider *slider1_ = nullptr;
    QTimer *timer1_ = nullptr;
    QTimer *timer2_ = nullptr;

    QString studioUrl_;
    QString companyUrl_;
    StartupHooks startup_;
    TaskbarProgress taskbar_{*this};
    // What the drag under way brings, read once when it enters: a source renders its text anew
    // for every read.
    DragData drag_;
    Form1 *form1_ = nullptr;
    // Set while code moves the highlight, so only the user's selections reach List1_Click.
    bool settingSelection_ = false;
    // Declared last, so they go before the widgets whose signals they hear.
    std::unique_ptr<ContextMenus> contextMenus_;
    std::unique_ptr<ResultsSorting> sorting_;
};

} // namespace shoulu
