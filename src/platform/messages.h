#pragma once
// The message routines through which every failure reaches the user. The engine has no user
// interface: it reports to a sink that the program installs (warning boxes in the window
// program, standard error in the command-line tool, a recorder in tests).

#include <cstdarg>
#include <string>
#include <string_view>

#include "platform/failure.h"
#include "platform/resourceids.h"

namespace quillomar {

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // A string-table message by id.
    virtual void stringMessage(int id) = 0;
    // A composed system-error message: the system text, "\n==> " and the path concerned.
    virtual void systemError(const std::string& message) = 0;
    // What exactly is wrong, after the message above (a damaged archive's fault and where it
    // lies). The window's boxes leave it out.
    virtual void detail(const std::string& path, const std::string& text) {
        static_cast<void>(path);
        static_cast<void>(text);
    }
    // The string-table text for id in the user's language, "" where the sink has no table.
    virtual std::string text(int id) {
        static_cast<void>(id);
        return {};
    }
};

// Installs the sink (nullptr: messages are dropped); returns the one installed before.
MessageSink* setMessageSink(MessageSink* sink);

// Shows a failure record to the user: a string-table message by id, or the system's text for the
// error number, a line "==> " and the path; then its detail, where the sink shows details.
void report(const Failure& failure);

// The record's message as a system-error box shows it: "system text\n==> path".
std::string systemErrorMessage(int error, std::string_view path);

// A string-table message by id.
void showStringMessage(int id);
// A message composed by the caller (several failures gathered into one), shown as it is.
void showComposedMessage(const std::string& text);
// The system text for error, a line "==> " and text.
void showSystemError(int error, std::string_view text);

// The installed sink's text for id, or fallback where it has none.
std::string messageText(int id, std::string_view fallback);
// text with "%1" and "%2" replaced by first and second.
std::string fillIn(std::string_view text, std::string_view first, std::string_view second);

// printf-style formatting into a string of any length (C99 conversions on every system).
#ifdef _WIN32
#define QUILLOMAR_PRINTF gnu_printf
#else
#define QUILLOMAR_PRINTF printf
#endif
std::string formatString(const char* format, ...) __attribute__((format(QUILLOMAR_PRINTF, 1, 2)));
std::string formatStringV(const char* format, va_list args) __attribute__((format(QUILLOMAR_PRINTF, 1, 0)));

}  // namespace quillomar
