#include "archive/storedname.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "archive/podformat.h"
#include "platform/codepage.h"
#include "platform/filesystem.h"

namespace quillomar {

StoredNameResult storedNameFromHostPath(std::string_view relative) {
    // A '\' inside a host file name would read back as a separator.
    if (relative.find('\\') != std::string_view::npos) return {std::nullopt, EINVAL};
    std::string joined(relative);
    std::replace(joined.begin(), joined.end(), '/', '\\');
    const CodePage& page = archiveCodePage();
    std::optional<std::string> bytes = page.fromUtf8(joined);
    if (!bytes) return {std::nullopt, EILSEQ};
    // "X:" at the start reads back as a drive designator, which extraction refuses.
    if (bytes->size() >= 2 && (*bytes)[1] == ':') return {std::nullopt, EINVAL};
    if (bytes->size() > kMaxStoredNameLength) return {std::nullopt, ENAMETOOLONG};
    return {page.upper(*bytes), 0};
}

std::string storedNameToUtf8(std::string_view stored) { return archiveCodePage().toUtf8(stored); }

std::string storedNameForMessage(std::string_view stored) {
    std::string text = storedNameToUtf8(stored);
    std::replace(text.begin(), text.end(), '\\', '/');
    return text;
}

std::optional<std::string> safeRelativePath(std::string_view stored) {
    if (stored.empty() || stored.front() == '\\' || stored.front() == '/') return std::nullopt;
    if (stored.size() >= 2 && stored[1] == ':') return std::nullopt;  // drive designator

    const CodePage& page = archiveCodePage();
    std::string out;
    std::size_t start = 0;
    while (start <= stored.size()) {
        std::size_t end = stored.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = stored.size();
        std::string_view component = stored.substr(start, end - start);
        if (component == "..") return std::nullopt;
        if (!component.empty() && component != ".") {
            // A device's or a stream's name would write to the device or into another file, not
            // to a file of that name below the root.
            const std::string name = page.toUtf8(component);
            if (isReservedName(name)) return std::nullopt;
            if (!out.empty()) out.push_back('/');
            out += name;
        }
        start = end + 1;
    }
    if (out.empty()) return std::nullopt;
    return out;
}

}  // namespace quillomar
