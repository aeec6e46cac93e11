#include "cli/output.h"

#include <charconv>

#include "cli/largepagearena.h"
#include "platform/fileio.h"

namespace quillomar::cli {

OutputBuffer::OutputBuffer(int fd, std::size_t flushThreshold) : fd_(fd), threshold_(flushThreshold) {
    // Reused after every write until the tool ends.
    LargePageArena arena;
    buffer_.reserve(flushThreshold + 4096);
}

void OutputBuffer::appendNumber(std::uint64_t value, int width) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    const auto length = static_cast<int>(result.ptr - digits);
    if (width > length) buffer_.append(static_cast<std::size_t>(width - length), ' ');
    buffer_.append(digits, result.ptr);
}

void OutputBuffer::appendTwoDigits(int value) {
    if (value >= 0 && value < 10) buffer_.push_back('0');
    appendNumber(static_cast<std::uint64_t>(value < 0 ? 0 : value));
}

namespace {

// The length of the control character at text[at], or 0 when there is none: one byte for C0 and
// DEL, two for a C1 control in UTF-8.
std::size_t controlLength(std::string_view text, std::size_t at) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte < 0x20 || byte == 0x7F) return 1;
    if (byte == 0xC2 && at + 1 < text.size()) {
        const auto next = static_cast<unsigned char>(text[at + 1]);
        if (next >= 0x80 && next <= 0x9F) return 2;
    }
    return 0;
}

void appendOctal(std::string& out, unsigned char byte) {
    out.push_back('\\');
    out.push_back(static_cast<char>('0' + (byte >> 6)));
    out.push_back(static_cast<char>('0' + ((byte >> 3) & 7)));
    out.push_back(static_cast<char>('0' + (byte & 7)));
}

}  // namespace

void appendTerminalSafe(std::string& out, std::string_view text) {
    // Letters for the controls that have one, as in C: BEL, BS, HT, LF, VT, FF, CR.
    constexpr std::string_view kLetters = "abtnvfr";
    std::size_t clean = 0;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = controlLength(text, at);
        if (length == 0) {
            ++at;
            continue;
        }
        out.append(text.substr(clean, at - clean));
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte >= 7 && byte <= 13) {
            out.push_back('\\');
            out.push_back(kLetters[byte - 7]);
        } else {
            for (std::size_t i = 0; i < length; ++i) appendOctal(out, static_cast<unsigned char>(text[at + i]));
        }
        at += length;
        clean = at;
    }
    out.append(text.substr(clean));
}

std::string terminalSafe(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    appendTerminalSafe(out, text);
    return out;
}

void escapeJsonControls(std::string& json) {
    constexpr std::string_view kHex = "0123456789abcdef";
    std::string out;
    std::size_t clean = 0;
    for (std::size_t at = 0; at < json.size();) {
        const std::size_t length = controlLength(json, at);
        // C0 controls are escaped by the writer already; only DEL and C1 can appear raw.
        if (length == 0 || static_cast<unsigned char>(json[at]) < 0x20) {
            ++at;
            continue;
        }
        out.append(json, clean, at - clean);
        const unsigned code = length == 1 ? 0x7Fu : static_cast<unsigned char>(json[at + 1]);
        out.append("\\u00");
        out.push_back(kHex[code >> 4]);
        out.push_back(kHex[code & 15]);
        at += length;
        clean = at;
    }
    if (clean == 0) return;
    out.append(json, clean);
    json = std::move(out);
}

bool OutputBuffer::flush() {
    failure_ = writeAllTo(fd_, std::as_bytes(std::span(buffer_.data(), buffer_.size())), std::string(kStandardOutput));
    buffer_.clear();
    return !failure_.failed();
}

}  // namespace quillomar::cli
