#pragma once

#include "app/version_check.h"
#include "core/form1.h"
#include "core/window_ops.h"

#include <QWidget>

#include <array>
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

// Compile-time addresses the window hands to its logic.
struct ServiceUrls {
    QString query;   // query service origin
    QString version; // version service origin
    QString site;    // maker's website origin (update page)
    QString studio;  // studio home page (Command3)
    QString company; // company home page (Command4)
};

// The main window (Form1): lays out every control, implements the window operations for the
// logic, and routes each event to its handler.
//
// Every modal dialog runs through execModal, and leaving the program through endProgram; tests
// override both (and openBrowser) so no box waits for a human and nothing really exits.
class Form1Window : public QWidget, public WindowOps {
    Q_OBJECT

public:
    Form1Window(GetFunction get, PostFunction post, ServiceUrls urls, QWidget *parent = nullptr);
    ~Form1Window() override;

    // The start-up sequence: skin, no icon, locked columns, no in-place editing, show, version
    // text in panel 3.
    void Form_Load();

    Form1 &logic() { return *form1_; }

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

    // Results table, clipboard and save dialog (WindowOps), and the menus, shortcuts and
    // sorting that use them.
    int rowCount() const override;
    QString rowCell(int row, int column) const override;
    QList<int> selectedRows() const override;
    QString clipboardText() const override;
    void setClipboardText(const QString &text) override;
    std::optional<QString> saveFileDialog(const QString &title, const QString &filter,
                                          const QString &proposedPath) override;
    QString documentsFolder() const override;
    ContextMenus &contextMenus() { return *contextMenus_; }

    // Command6: the add-domain dialog (Form2), modal.
    void showAddDomainDialog();

protected:
    // Runs a modal dialog and returns its result code.
    virtual int execModal(QDialog &dialog);

    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void connectEvents();
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

    ServiceUrls urls_;
    std::unique_ptr<Form1> form1_;
    std::unique_ptr<VersionCheck> versionCheck_;
    // Set while code moves the highlight, so only the user's selections reach List1_Click.
    bool settingSelection_ = false;

    void connectResultsTools();
    // The file-open dialog (Cl1), or the export's save dialog: the chosen path, or nothing.
    std::optional<QString> runFileDialog(bool save, const QString &title, const QString &filter,
                                         const QString &start);
    // Declared last, so they go before the widgets whose signals they hear.
    std::unique_ptr<ContextMenus> contextMenus_;
    std::unique_ptr<ResultsSorting> sorting_;
};

// "文本文件|*.txt" → "文本文件 (*.txt)"; pairs of label and pattern, patterns split by ';'.
QString QtFileFilter(const QString &filter);

} // namespace shoulu
