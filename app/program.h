#pragma once

#include "app/running_mark.h"
#include "app/version_check.h"
#include "app/wake_request.h"
#include "core/form1.h"
#include "net/http_client.h"
#include "ui/form1_window.h"

#include <QString>

#include <memory>

class QApplication;

namespace shoulu {

// The addresses the program talks to.
struct ServiceUrls {
    QString query;   // query service origin
    QString version; // version service origin
    QString site;    // maker's website origin (update page)
    QString studio;  // studio home page (Command3)
    QString company; // company home page (Command4)
};

// The addresses fixed at build time.
ServiceUrls CompiledInUrls();

// The logic behind a main window: Form1 and the version check over it, wired to its events, and
// the start-up pieces the window is handed: the close confirmation, the wake request, the skin
// and the version text. A window made for a test gets its logic the same way.
class WindowLogic {
public:
    WindowLogic(Form1Window &window, GetFunction get, PostFunction post, const ServiceUrls &urls);

    Form1 &form1() { return form1_; }

private:
    WakeRequest wake_;
    Form1 form1_;
    VersionCheck versionCheck_;
};

// The program as it runs: its running mark, first and last; one HttpClient, with the
// compiled-in CA, behind HttpGet and PostForm; the main window; its logic over those two and the
// compiled-in addresses.
class Program {
public:
    explicit Program(const ServiceUrls &urls);
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    Form1Window &window() { return window_; }

private:
    RunningMark running_;
    HttpClient client_;
    Form1Window window_;
    WindowLogic logic_;
};

// Starts the program in application: the GBK check, Qt's Chinese texts, the program built, and
// its start-up sequence (Form_Load), which shows the window. main and the start-up benchmark
// both run exactly this.
std::unique_ptr<Program> StartProgram(QApplication &application);

} // namespace shoulu
