#pragma once

#include <QString>

#include <functional>

namespace shoulu {

class WindowOps;

// Fetches a URL and returns the answer body, or the empty text. The real program passes
// HttpGet, whose wait may run other handlers nested inside it.
using GetFunction = std::function<QString(const QString &url)>;

// The main window's logic: the import, the batch run and the query of one domain, over the
// window operations. The view routes each event to the handler of the same name.
class Form1 {
public:
    Form1(WindowOps &window, GetFunction get, QString queryBaseUrl);

    void Command1_Click(); // import a domain list
    void Command2_Click(); // start or stop a batch
    void List1_Click();    // selection changed
    void List1_DblClick();
    void List1_MouseDown();
    void Timer1_Timer();
    void Slider1_Scroll();

    // Enables the batch button once the version check has passed.
    void init();
    // Queries the last queue entry at once.
    void cx();

    bool queryGate() const { return queryGate_; }
    qint16 batchPos() const { return batchPos_; }

private:
    WindowOps &window_;
    GetFunction get_;
    QString queryBaseUrl_;
    bool queryGate_ = false;
    qint16 batchPos_ = 0;
    QString answerText_;
    int currentRow_ = -1;
    // Whether a batch runs, and a count of batch starts and ends, so a handler that waited
    // for an answer can tell whether its batch ended meanwhile.
    bool batchRunning_ = false;
    quint32 batchSerial_ = 0;

    void completeBatch();
};

} // namespace shoulu
