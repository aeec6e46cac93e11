#pragma once
// The message routines through which every failure reaches the user. The engine has no user
// interface: it reports to a sink that the program installs (warning boxes in the window
// program, standard error in the command-line tool, a recorder in tests).

#include <cstdarg>
#include <string>
#include <string_view>

namespace quillomar {

// String-table ids used by the engine.
enum MessageId : int {
    kMsgProgramName = 100,
    kMsgOutOfMemory = 101,
    kMsgExtractTitle = 102,
    kMsgNotAnArchive = 103,
    kMsgNotFolderOrArchive = 104,
    kMsgNoAssociation = 105,
    kMsgDamagedArchive = 111,
};

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // A string-table message by id.
    virtual void stringMessage(int id) = 0;
    // A composed system-error message: the system text, "\n==> " and the path concerned.
    virtual void systemError(const std::string& message) = 0;
};

// Installs the sink (nullptr: messages are dropped); returns the one installed before.
MessageSink* setMessageSink(MessageSink* sink);

void showStringMessage(int id);
// The system text for the current errno, a line "==> " and text; call right after the failing call.
void showSystemError(std::string_view text);
// The same for an explicit error number.
void showSystemError(int error, std::string_view text);

// printf-style formatting into a string of any length.
std::string formatString(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string formatStringV(const char* format, va_list args) __attribute__((format(printf, 1, 0)));

}  // namespace quillomar
