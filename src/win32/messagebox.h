#pragma once
// The window program's message routines on Windows: every message is a warning box with no owner
// window, the program's name as caption and one OK button, whose answer is not read. With no
// owner, the windows below it keep taking input while it waits.

#include <string>

#include "platform/messages.h"

namespace quillomar::win32 {

class BoxMessageSink final : public MessageSink {
public:
    // String-table messages in the current language, as an 80-character buffer takes them.
    void stringMessage(int id) override;
    void systemError(const std::string& message) override;
    std::string text(int id) override;
};

}  // namespace quillomar::win32
