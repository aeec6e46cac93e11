#pragma once
// Standard output in large writes: listings are built in memory and leave in one write (or a
// few for very large ones), with no per-line flush and no stream synchronisation.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/failure.h"

namespace quillomar::cli {

class OutputBuffer {
public:
    explicit OutputBuffer(int fd, std::size_t flushThreshold = std::size_t{1} << 20);

    std::string& text() { return buffer_; }
    void append(std::string_view text) { buffer_.append(text); }
    void append(char c) { buffer_.push_back(c); }
    // value in decimal, right-aligned in width columns.
    void appendNumber(std::uint64_t value, int width = 0);
    // value with at least two digits.
    void appendTwoDigits(int value);

    // Writes out once the buffer has grown past the threshold: false on failure, whose record
    // (naming standard output) failure() keeps.
    [[nodiscard]] bool flushIfFull() { return buffer_.size() < threshold_ || flush(); }
    [[nodiscard]] bool flush();
    const Failure& failure() const { return failure_; }

private:
    int fd_;
    std::size_t threshold_;
    std::string buffer_;
    Failure failure_;
};

// Text from an archive or from the file system made harmless for a terminal and for any output
// read line by line: each control character (C0, DEL, and the C1 controls U+0080 to U+009F of
// UTF-8 text) is shown escaped as `ls -b` and GNU tar show it: "\n", "\r", "\t" and the like by
// letter, the others as the octal of their bytes ("\033", "\177", "\302\201"). Other bytes,
// '\' included (it separates a stored name's folders), pass unchanged.
std::string terminalSafe(std::string_view text);
void appendTerminalSafe(std::string& out, std::string_view text);

// JSON text as nlohmann writes it escapes C0 controls only; DEL and the C1 controls are escaped
// here too ("\u007f", "\u0080"...), so that no string in the document can drive a terminal. The
// bytes concerned only ever occur inside strings.
void escapeJsonControls(std::string& json);

// How standard output is named in messages.
inline constexpr std::string_view kStandardOutput = "standard output";

}  // namespace quillomar::cli
