#pragma once

#include <QString>

#include <functional>

namespace shoulu {

class Form1;
class WindowOps;

// The add button of the add-domain dialog (Form2): validates text, appends it to the queue and,
// when queryAtOnce is set, closes the dialog and queries the new entry through Form1::cx.
// closeDialog closes the dialog window; calling it twice must be harmless.
void Form2_Command1_Click(WindowOps &window, Form1 &form1, const QString &text, bool queryAtOnce,
                          const std::function<void()> &closeDialog);

} // namespace shoulu
