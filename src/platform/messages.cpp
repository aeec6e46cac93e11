#include "platform/messages.h"

#include <cerrno>
#include <cstdio>

#include "platform/syserror.h"

namespace quillomar {

namespace {
MessageSink* installedSink = nullptr;
}

MessageSink* setMessageSink(MessageSink* sink) {
    MessageSink* previous = installedSink;
    installedSink = sink;
    return previous;
}

void showStringMessage(int id) {
    if (installedSink != nullptr) installedSink->stringMessage(id);
}

void showSystemError(std::string_view text) { showSystemError(errno, text); }

void showSystemError(int error, std::string_view text) {
    std::string message = formatString("%s\n==> %.*s", systemErrorText(error).c_str(), static_cast<int>(text.size()),
                                       text.data());
    if (installedSink != nullptr) installedSink->systemError(message);
}

std::string formatStringV(const char* format, va_list args) {
    va_list measure;
    va_copy(measure, args);
    int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length <= 0) return {};
    std::string out(static_cast<std::size_t>(length), '\0');
    std::vsnprintf(out.data(), out.size() + 1, format, args);
    return out;
}

std::string formatString(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = formatStringV(format, args);
    va_end(args);
    return out;
}

}  // namespace quillomar
