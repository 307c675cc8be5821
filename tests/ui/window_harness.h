#pragma once

#include "tests/support/scripted_window.h"

#include <functional>

namespace shoulu::testing {

// The scripted main window with the services scripted too: every query answers for its domain,
// and the version check passes unless versionAnswer says otherwise.
class TestWindow : public ScriptedWindow {
public:
    TestWindow();

    QStringList getUrls;
    QList<QPair<QString, QString>> posts;
    QString versionAnswer;           // the version service's answer; passes by default
    QStringList missing;             // domains the query service has no data for
    std::function<void()> duringGet; // runs while a query waits for its answer
};

// Script entries.
DialogAnswer Press(QMessageBox::StandardButton button);
DialogAnswer OnDialog(DialogBody body);

// A query-service answer naming domain, in the shape the query reads.
QString QueryAnswer(const QString &domain);

} // namespace shoulu::testing
