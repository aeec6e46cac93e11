#include "platform/messages.h"

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

std::string systemErrorMessage(int error, std::string_view path) {
    return formatString("%s\n==> %.*s", systemErrorText(error).c_str(), static_cast<int>(path.size()), path.data());
}

void report(const Failure& failure) {
    if (installedSink == nullptr || !failure.failed()) return;
    if (failure.messageId == Failure::kOwnWords) {
        installedSink->systemError(failure.detail + "\n==> " + failure.path);
        return;
    }
    if (failure.messageId != 0) {
        installedSink->stringMessage(failure.messageId);
    } else {
        installedSink->systemError(systemErrorMessage(failure.error, failure.path));
    }
    if (!failure.detail.empty()) installedSink->detail(failure.path, failure.detail);
}

void showStringMessage(int id) { report(Failure::message(id)); }

void showComposedMessage(const std::string& text) {
    if (installedSink != nullptr && !text.empty()) installedSink->systemError(text);
}

void showSystemError(int error, std::string_view text) { report(Failure::system(error, std::string(text))); }

std::string messageText(int id, std::string_view fallback) {
    std::string text = installedSink != nullptr ? installedSink->text(id) : std::string();
    return text.empty() ? std::string(fallback) : text;
}

std::string fillIn(std::string_view text, std::string_view first, std::string_view second) {
    std::string out;
    out.reserve(text.size() + first.size() + second.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '%' && at + 1 < text.size() && (text[at + 1] == '1' || text[at + 1] == '2')) {
            out += text[at + 1] == '1' ? first : second;
            ++at;
        } else {
            out += text[at];
        }
    }
    return out;
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
