#pragma once

#include "core/window_ops.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <variant>

class QDialog;

namespace shoulu::testing {

// Answers for the file dialog.
struct ChooseFile {
    QString path;
};
struct CancelFile {};
// Runs on a real window's next dialog, whatever it is, while it is open (it is shown first);
// closes it or it is rejected.
using DialogBody = std::function<void(QDialog &dialog)>;

using DialogAnswer = std::variant<MessageAnswer, ChooseFile, CancelFile, DialogBody>;

// How every stand-in for the window answers modal boxes and dialogs: from the front of one
// script, in the order they come. An entry that does not fit the dialog is left in place: an OK
// box is then simply closed, a Yes/No box answered defaultYesNo, a file dialog cancelled and
// any other dialog rejected (the windows note it in unanswered). Nothing ever waits for a person.
class DialogScript {
public:
    QList<DialogAnswer> answers;
    MessageAnswer defaultYesNo = MessageAnswer::No;
    QStringList unanswered;

    MessageAnswer answerBox(MessageButtons buttons);
    std::optional<QString> answerFile();
    std::optional<DialogBody> answerDialog();

private:
    template <typename T> std::optional<T> take() {
        if (answers.isEmpty() || !std::holds_alternative<T>(answers.front())) {
            return std::nullopt;
        }
        return std::get<T>(answers.takeFirst());
    }
};

} // namespace shoulu::testing
