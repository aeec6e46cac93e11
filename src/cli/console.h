#pragma once
// Standard error of quillomar-cli: the message sink through which the engine reports every
// failure, and the one status line that progress bars redraw in place. Every path, name and text
// a message carries is passed through terminalSafe() on its way out: a name from an archive
// cannot drive the terminal or forge a line.

#include <chrono>
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/messages.h"
#include "platform/progress.h"

namespace quillomar::cli {

class Console final : public MessageSink {
public:
    // A string-table message in the user's language, as the window's message box shows it.
    void stringMessage(int id) override;
    // "system text\n==> path", as the window's system-error box shows it.
    void systemError(const std::string& message) override;
    // The same with several paths, each on its own "==> " line, and a note indented below them.
    void systemError(int error, std::initializer_list<std::string_view> paths, std::string_view note = {});
    // "path: what is wrong", on a line of its own after the message.
    void detail(const std::string& path, const std::string& text) override;
    // A failure the window never meets (a name not in the archive, an empty folder), in the
    // tool's own words.
    void error(std::string_view text);

    // While set, string-table messages (which name no file) start with "subject: ".
    void setSubject(std::string subject) { subject_ = std::move(subject); }

    // The status line on a terminal: drawn over itself, cleared before any message.
    void drawStatus(std::string_view line);
    void clearStatus();

private:
    void print(std::string_view text);

    std::string subject_;
    bool statusShown_ = false;
};

// True when standard error is a terminal, the only place a progress bar is drawn.
bool stderrIsTerminal();

// A progress bar on the console's status line. Redraws at most every 100 ms (and once the bar
// is full), so a run over many small files spends its time on the files.
class TerminalProgress final : public ProgressSink {
public:
    TerminalProgress(Console& console, std::string label);
    ~TerminalProgress() override;
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    // Without a range the line counts the steps ("Scanning  120 folders").
    void setRange(int low, int high) override;
    void step() override;

    // Starts over from position 0 with another label and no range.
    void restart(std::string label);
    // Removes the line.
    void finish();

private:
    void draw();

    Console& console_;
    std::string label_;
    long long low_ = 0;
    long long high_ = 0;
    long long position_ = 0;
    bool ranged_ = false;
    std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace quillomar::cli
