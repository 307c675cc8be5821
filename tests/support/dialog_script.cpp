#include "tests/support/dialog_script.h"

namespace shoulu::testing {

MessageAnswer DialogScript::answerBox(MessageButtons buttons) {
    if (const std::optional<MessageAnswer> answer = take<MessageAnswer>()) {
        return *answer;
    }
    return buttons == MessageButtons::Ok ? MessageAnswer::Ok : defaultYesNo;
}

std::optional<QString> DialogScript::answerFile() {
    if (take<CancelFile>()) {
        return std::nullopt;
    }
    if (const std::optional<ChooseFile> choice = take<ChooseFile>()) {
        return choice->path;
    }
    return std::nullopt;
}

std::optional<DialogBody> DialogScript::answerDialog() {
    return take<DialogBody>();
}

} // namespace shoulu::testing
