#pragma once
// The window program's message routines: every message is a warning box with no owner window,
// the program's name as caption and one OK button, whose answer is not read. The box is not
// modal: the windows below it keep taking input while it waits for its answer.

#include <QString>

#include <memory>

#include "platform/messages.h"

class QMessageBox;

namespace quillomar {

// The box as it is shown; its caption is the application's name.
std::unique_ptr<QMessageBox> makeWarningBox(const QString& text);
// Shows the box and returns once it is answered.
void showWarningBox(const QString& text);

// A question box like the warning box, with Yes and No: true once Yes was chosen.
bool askYesNoBox(const QString& text);

class BoxMessageSink : public MessageSink {
public:
    // String-table messages in the current language, as an 80-character buffer takes them.
    void stringMessage(int id) override;
    void systemError(const std::string& message) override;
    std::string text(int id) override;
};

}  // namespace quillomar
