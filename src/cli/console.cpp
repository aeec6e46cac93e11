#include "cli/console.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/stringtable.h"
#include "cli/output.h"
#include "cli/system.h"
#include "platform/fileio.h"
#include "platform/syserror.h"

namespace quillomar::cli {

namespace {

constexpr std::string_view kPrefix = "quillomar-cli: ";
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

// A failure is not reported: there is nowhere left to report it.
void writeStderr(std::string_view text) {
    static_cast<void>(writeAllTo(kStandardErrorFd, std::as_bytes(std::span(text.data(), text.size())), {}));
}

}  // namespace

void Console::stringMessage(int id) {
    // In English, as every other message of the tool.
    const std::string message = loadString(id, Language::Neutral);
    print(subject_.empty() ? message : terminalSafe(subject_) + ": " + message);
}

// The system's text comes first, on a line of its own; all that follows is the path concerned.
void Console::systemError(const std::string& message) {
    constexpr std::string_view kPathLine = "\n==> ";
    const std::size_t path = message.find(kPathLine);
    if (path == std::string::npos) {
        print(terminalSafe(message));
        return;
    }
    const std::size_t pathStart = path + kPathLine.size();
    print(terminalSafe(std::string_view(message).substr(0, path)) + std::string(kPathLine) +
          terminalSafe(std::string_view(message).substr(pathStart)));
}

void Console::systemError(int error, std::initializer_list<std::string_view> paths, std::string_view note) {
    std::string message = terminalSafe(systemErrorText(error));
    for (const std::string_view path : paths) message.append("\n==> ").append(terminalSafe(path));
    if (!note.empty()) message.append("\n    ").append(terminalSafe(note));
    print(message);
}

void Console::error(std::string_view text) { print(terminalSafe(text)); }

void Console::detail(const std::string& path, const std::string& text) {
    print(terminalSafe(path) + ": " + terminalSafe(text));
}

// The message keeps its own lines (the window shows "system text", a line break and "==> path");
// only its first line carries the program's name.
void Console::print(std::string_view text) {
    clearStatus();
    std::string line;
    line.reserve(kPrefix.size() + text.size() + 1);
    line.append(kPrefix).append(text).push_back('\n');
    writeStderr(line);
}

void Console::drawStatus(std::string_view line) {
    std::string text = "\r";
    text.append(line).append("\x1b[K");
    writeStderr(text);
    statusShown_ = true;
}

void Console::clearStatus() {
    if (!statusShown_) return;
    writeStderr("\r\x1b[K");
    statusShown_ = false;
}

TerminalProgress::TerminalProgress(Console& console, std::string label) : console_(console), label_(std::move(label)) {}

TerminalProgress::~TerminalProgress() { finish(); }

void TerminalProgress::setRange(int low, int high) {
    low_ = low;
    high_ = high;
    ranged_ = high > low;
    lastDraw_ = {};
    draw();
}

void TerminalProgress::step() {
    ++position_;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastDraw_ >= kRedrawInterval || (ranged_ && position_ == high_)) {
        lastDraw_ = now;
        draw();
    }
}

void TerminalProgress::restart(std::string label) {
    label_ = std::move(label);
    low_ = high_ = position_ = 0;
    ranged_ = false;
    lastDraw_ = {};
}

void TerminalProgress::finish() { console_.clearStatus(); }

void TerminalProgress::draw() {
    char counts[64];
    if (!ranged_) {
        std::snprintf(counts, sizeof counts, "  %lld", position_);
        console_.drawStatus(label_ + counts);
        return;
    }
    const long long done = std::clamp(position_, low_, high_) - low_;
    const long long total = high_ - low_;
    const int percent = static_cast<int>(done * 100 / total);
    std::snprintf(counts, sizeof counts, " %3d%%  %lld/%lld", percent, done, total);

    const int width = terminalWidth();
    const int barWidth =
        std::clamp(width - static_cast<int>(label_.size()) - static_cast<int>(std::strlen(counts)) - 5, 0, 50);
    std::string line = label_;
    if (barWidth >= 10) {
        const auto filled = static_cast<std::size_t>(done * barWidth / total);
        line.append(" [").append(filled, '#').append(static_cast<std::size_t>(barWidth) - filled, '.').append("]");
    }
    line.append(counts);
    if (static_cast<int>(line.size()) >= width) line.resize(static_cast<std::size_t>(std::max(width - 1, 0)));
    console_.drawStatus(line);
}

}  // namespace quillomar::cli
