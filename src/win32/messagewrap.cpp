#include "win32/messagewrap.h"

namespace quillomar::win32 {

namespace {

bool continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

std::string wrapMessageText(std::string_view text, std::size_t lineLength) {
    if (lineLength == 0) return std::string(text);
    std::string out;
    out.reserve(text.size() + text.size() / lineLength + 1);
    std::size_t column = 0;     // characters on the current line
    std::size_t lineStart = 0;  // where the current line starts in out
    std::size_t lastBreak = 0;  // where in out a break may go (after a separator or a blank), 0: none
    for (std::size_t at = 0; at < text.size(); ++at) {
        const char c = text[at];
        if (c == '\n') {
            out.push_back(c);
            column = 0;
            lineStart = out.size();
            lastBreak = 0;
            continue;
        }
        if (!continuation(c) && column == lineLength) {
            // The line is full: break at the last separator on it, else here.
            const std::size_t cut = lastBreak > lineStart ? lastBreak : out.size();
            out.insert(cut, 1, '\n');
            lineStart = cut + 1;
            column = 0;
            lastBreak = 0;
            for (std::size_t i = lineStart; i < out.size(); ++i) {
                if (!continuation(out[i])) ++column;
                if (out[i] == '\\' || out[i] == '/' || out[i] == ' ') lastBreak = i + 1;
            }
        }
        out.push_back(c);
        if (!continuation(c)) ++column;
        if (c == '\\' || c == '/' || c == ' ') lastBreak = out.size();
    }
    return out;
}

}  // namespace quillomar::win32
