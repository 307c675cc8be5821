#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace shoulu {

// Buttons of the main window, by their form names.
enum class ButtonId { Command1, Command2, Command3, Command4, Command5, Command6 };

enum class TimerId { Timer1, Timer2 };

enum class MessageButtons { Ok, YesNo };

enum class MessageAnswer { Ok, Yes, No };

// Status bar panels, counted from 1: panel 2 carries every progress and error text, panel 3 the
// version.
inline constexpr int kMessagePanel = 2;
inline constexpr int kVersionPanel = 3;

// Message box titles: the import's hint, the version check, closing and every later notice; the
// add-domain dialog; a batch without domains.
inline const QString kNoticeTitle = QStringLiteral("提示");
inline const QString kAddDomainTitle = QStringLiteral("澜序系列软件");
inline const QString kEmptyQueueTitle = QStringLiteral("澜序软件");

// Everything the logic needs of the window. The Qt main window implements it; tests use a
// recording fake, so the logic runs without any widget.
class WindowOps {
public:
    virtual ~WindowOps() = default;

    // Domain queue (List1). Indexes and counts fit in 16 bits; -1 means no selection.
    virtual void clearQueue() = 0;
    virtual void appendQueueEntry(const QString &text) = 0;
    // Same as appending each text in turn; a view may do it in one go.
    virtual void appendQueueEntries(const QStringList &texts) {
        for (const QString &text : texts) {
            appendQueueEntry(text);
        }
    }
    virtual int queueCount() const = 0;
    virtual QString queueEntry(int index) const = 0;
    // Removing raises no selection event; an index out of range is ignored. Removing the
    // selected entry leaves nothing selected; removing one above it keeps the same entry
    // selected.
    virtual void removeQueueEntry(int index) = 0;
    virtual int selectedIndex() const = 0;
    // Moves the highlight only: no handler runs. Form1::select runs List1_Click after it; the
    // view reports the user's own selections to Form1::List1_Click. Out of range: nothing.
    virtual void highlightQueueEntry(int index) = 0;
    virtual void setQueueToolTip(const QString &text) = 0;
    virtual void setQueueEnabled(bool enabled) = 0;

    // Results table (Listview1). appendRow returns the new row's index.
    virtual void clearRows() = 0;
    virtual int appendRow() = 0;
    virtual void setRowText(int row, const QString &text) = 0;
    // subItem runs from 1 to 3.
    virtual void setRowSubItem(int row, int subItem, const QString &text) = 0;

    // Status bar (s1); panels are counted from 1.
    virtual void setPanelText(int panel, const QString &text) = 0;

    virtual QString buttonCaption(ButtonId button) const = 0;
    virtual void setButtonCaption(ButtonId button, const QString &caption) = 0;
    virtual void setButtonEnabled(ButtonId button, bool enabled) = 0;
    virtual bool isButtonEnabled(ButtonId button) const = 0;

    virtual int sliderValue() const = 0;
    virtual void setSliderEnabled(bool enabled) = 0;
    virtual void setLabel2Caption(const QString &caption) = 0;

    virtual void setTimerInterval(TimerId timer, int milliseconds) = 0;
    virtual void setTimerEnabled(TimerId timer, bool enabled) = 0;

    // Modal, with the information icon.
    virtual MessageAnswer messageBox(const QString &text, const QString &title,
                                     MessageButtons buttons) = 0;
    // Modal file-open dialog (Cl1). The filter is in the form "label|pattern". Returns the
    // chosen file's full path, or nothing when the user cancelled.
    virtual std::optional<QString> openFileDialog(const QString &title, const QString &filter,
                                                  const QString &initialFolder) = 0;
    // Opens an address in the user's browser; returns at once, success is not reported.
    virtual void openBrowser(const QString &url) = 0;

    virtual QString programFolder() const = 0;

    // Ends the program at once: no further handler runs. A wake request held and a progress
    // shown go with it.
    virtual void endProgram() = 0;

    // While on, the system is asked not to go to sleep (the screen may still turn off): a
    // batch of thousands runs for hours.
    virtual void keepAwake(bool on) = 0;

    // A batch's progress where users look with the window minimised: the taskbar button, the
    // dock's icon. reached of total entries; a total of 0 takes it away. Ending the program
    // takes it away too.
    virtual void showBatchProgress(int reached, int total) = 0;
    // A batch has completed: when the window is not the active one, its taskbar button asks for
    // the user's attention.
    virtual void requestAttention() = 0;

    // Results table, clipboard and save dialog, for copy, export and paste. A column is 0 for
    // the row's text and 1 to 3 for its sub-items; rows count as shown, top to bottom.
    virtual int rowCount() const = 0;
    virtual QString rowCell(int row, int column) const = 0;
    virtual QList<int> selectedRows() const = 0;
    virtual QString clipboardText() const = 0;
    virtual void setClipboardText(const QString &text) = 0;
    // Modal save dialog proposing proposedPath; the chosen path, or nothing when cancelled.
    virtual std::optional<QString> saveFileDialog(const QString &title, const QString &filter,
                                                  const QString &proposedPath) = 0;
    virtual QString documentsFolder() const = 0;
};

} // namespace shoulu
