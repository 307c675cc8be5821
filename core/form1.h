#pragma once

#include "core/batch_ledger.h"
#include "net/http_client.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace shoulu {

class WindowOps;

// What a drag over the window brings: the local files it carries and, when it carries none,
// its text.
struct DragData {
    QStringList files;
    QString text;
};

// Fetches a URL: the answer body, or why there is none. The real program passes FetchGet, whose
// wait may run other handlers nested inside it.
using GetFunction = std::function<HttpResult(const QString &url)>;

// The main window's logic: the import, the batch run and the query of one domain, over the
// window operations. The view routes each event to the handler of the same name. The query of
// one domain is in domain_query.cpp, the rest in form1.cpp.
class Form1 {
public:
    Form1(WindowOps &window, GetFunction get, QString queryBaseUrl);

    void Command1_Click(); // import a domain list
    void Command2_Click(); // start or stop a batch
    void List1_Click();    // selection changed; the view calls it for the user's selections
    void List1_DblClick();
    void List1_MouseDown();
    void Timer1_Timer();
    void Slider1_Scroll();

    // Drag and drop onto the window, overQueue when over List1: whether a drop there would be
    // taken (the pointer says so), and the drop. One file imports as Command1 does, without the
    // hint and the dialog, whenever Command1 is enabled; text over the queue is appended as a
    // paste is, whenever the queue is editable.
    bool OLEDragOver(const DragData &data, bool overQueue) const;
    void OLEDragDrop(const DragData &data, bool overQueue);

    // Selects a queue entry as code does: moves the view's highlight, then runs List1_Click to
    // its end. An index out of range changes nothing.
    void select(int index);

    // Enables the batch button once the version check has passed.
    void init();
    // Queries the last queue entry at once.
    void cx();

    // On while a batch runs and while cx's query runs.
    bool queryGate() const { return ledger_.running() || immediateQueries_ > 0; }
    qint16 batchPos() const { return static_cast<qint16>(ledger_.position()); }
    bool batchRunning() const { return ledger_.running(); }
    // The running or last batch: what became of each of its entries, how far it has come
    // (reached() of size()), and what the window says about it.
    const BatchLedger &ledger() const { return ledger_; }

    // What the view may offer at the moment. The queue is edited (paste, dedupe, clear) only
    // while no batch runs, as it is disabled then; copy and export need rows; a heading click
    // sorts only while idle, since a batch appends its rows in its own order.
    bool queueEditable() const;
    bool hasResults() const;
    bool resultsSortable() const;

    // 补查: replaces the queue with the last batch's entries that have no answer, the failed ones
    // first, and queries them in a batch that keeps the rows already in the table. Only while
    // idle and when there is something to query.
    bool canRecheck() const;
    void recheckFailed();

private:
    void startBatch(bool keepRows);
    void stopBatch();
    void completeBatch();
    // What a stop and a completion both do: the ledger closed, timer off, queue and slider
    // back, caption "批量查询".
    void endBatch(bool completed);
    // Entries appended to the queue while the batch runs become the batch's too.
    void takeAddedEntries();
    void releaseQueue();
    // The running batch's reach, as a share of what it holds, to the taskbar and the dock;
    // nothing while no batch runs (ending a batch takes it away).
    void reportProgress();
    void skipFailingRun(int selected);
    void query(int index, const QString &entry);
    void reportQuery(const QString &entry, const QString &outcome, int remaining);

    WindowOps &window_;
    GetFunction get_;
    QString queryBaseUrl_;
    // Counts batch starts, so a query that waited can tell whether its batch is still the
    // ledger's.
    quint32 batchStarts_ = 0;
    int immediateQueries_ = 0; // cx calls under way
    BatchLedger ledger_;
};

} // namespace shoulu
