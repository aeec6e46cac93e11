#include "platform/settings.h"

#include <cerrno>
#include <span>

#include "platform/desktop.h"
#include "platform/fileio.h"

namespace quillomar {

namespace {

// The settings are a few short lines; a larger file is not theirs and is not read.
constexpr std::int64_t kLargestFile = 64 * 1024;

std::string settingsFolder() { return userBaseFolder("XDG_CONFIG_HOME", "/.config") + "/quillomar"; }

std::optional<std::string> readSettingsFile() {
    const File file = File::openRead(settingsFolder() + "/settings");
    if (!file.valid()) return std::nullopt;
    const Result<std::uint64_t> bytes = file.size();
    if (!bytes || *bytes > static_cast<std::uint64_t>(kLargestFile)) return std::nullopt;
    const auto size = static_cast<std::int64_t>(*bytes);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (file.readAt(0, std::as_writable_bytes(std::span(text))).count != size) return std::nullopt;
    return text;
}

// Calls line(name, value) for each "name=value" line; false from it stops.
template <typename Line>
void eachLine(std::string_view text, Line&& line) {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view current = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        const std::size_t equals = current.find('=');
        if (equals == std::string_view::npos) continue;
        if (!line(current.substr(0, equals), current.substr(equals + 1))) return;
    }
}

}  // namespace

std::optional<std::string> settingIn(std::string_view text, std::string_view name) {
    std::optional<std::string> found;
    eachLine(text, [&](std::string_view key, std::string_view value) {
        if (key != name) return true;
        found = std::string(value);
        return false;
    });
    return found;
}

std::string withSetting(std::string_view text, std::string_view name, std::string_view value) {
    std::string out;
    bool written = false;
    eachLine(text, [&](std::string_view key, std::string_view old) {
        out.append(key).append("=").append(key == name ? value : old).append("\n");
        written = written || key == name;
        return true;
    });
    if (!written) out.append(name).append("=").append(value).append("\n");
    return out;
}

std::optional<std::string> readSetting(std::string_view name) {
    const std::optional<std::string> text = readSettingsFile();
    return text ? settingIn(*text, name) : std::nullopt;
}

Failure writeSetting(std::string_view name, std::string_view value) {
    const std::string folder = settingsFolder();
    if (Failure failure = createFolders(folder, 0700); failure.failed()) return failure;
    return writeFileAtomically(folder + "/settings", withSetting(readSettingsFile().value_or(""), name, value), 0600);
}

}  // namespace quillomar
