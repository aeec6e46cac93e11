#include "app/desktopentry.h"

#include <unicode/ustring.h>

#include <cstdint>
#include <string_view>

#include "app/embeddedfiles.h"

namespace quillomar {

namespace {

// Escapes a string value of a desktop entry.
std::string escapeString(std::string_view text) {
    std::string out;
    for (char c : text) {
        const std::size_t at = std::string_view("\\\n\t\r").find(c);
        out += at == std::string_view::npos ? std::string(1, c) : "\\" + std::string(1, "\\ntr"[at]);
    }
    return out;
}

// Replaces the value of the first line "key=..." in the entry.
void replaceValue(std::string& entry, std::string_view key, std::string_view value) {
    const std::size_t at = entry.find("\n" + std::string(key) + "=");
    if (at == std::string::npos) return;
    const std::size_t start = at + key.size() + 2;
    entry.replace(start, std::min(entry.find('\n', start), entry.size()) - start, value);
}

}  // namespace

std::string desktopExecValue(const std::string& programPath) {
    UErrorCode utf8 = U_ZERO_ERROR;
    std::int32_t length = 0;
    u_strFromUTF8(nullptr, 0, &length, programPath.data(), static_cast<std::int32_t>(programPath.size()), &utf8);
    if (utf8 == U_INVALID_CHAR_FOUND || utf8 == U_ILLEGAL_ARGUMENT_ERROR) return {};
    bool reserved = false;
    for (char c : programPath) {
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') || c == 0x7F) return {};
        reserved = reserved || std::string_view(" \t\n\"'\\><~|&;$*?#()`").find(c) != std::string_view::npos;
    }
    std::string argument = reserved ? "\"" : "";
    for (char c : programPath) {
        if (reserved && (c == '"' || c == '`' || c == '$' || c == '\\')) argument += '\\';
        argument += c;
        if (c == '%') argument += '%';  // field codes begin with '%'
    }
    return escapeString(reserved ? argument + "\"" : argument) + " %f";
}

std::string desktopEntry(const std::string& programPath) {
    const std::string exec = desktopExecValue(programPath);
    if (exec.empty()) return {};
    std::string entry(embeddedFile("quillomar.desktop"));
    replaceValue(entry, "Exec", exec);
    replaceValue(entry, "TryExec", escapeString(programPath));
    return entry;
}

}  // namespace quillomar
