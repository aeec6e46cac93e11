#include "cli/output.h"

#include <charconv>

#include "platform/fileio.h"

namespace quillomar::cli {

OutputBuffer::OutputBuffer(int fd, std::size_t flushThreshold) : fd_(fd), threshold_(flushThreshold) {
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

bool OutputBuffer::flush() {
    failure_ = writeAllTo(fd_, std::as_bytes(std::span(buffer_.data(), buffer_.size())), std::string(kStandardOutput));
    buffer_.clear();
    return !failure_.failed();
}

}  // namespace quillomar::cli
