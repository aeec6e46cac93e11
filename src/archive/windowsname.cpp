#include "archive/windowsname.h"

#include <algorithm>
#include <array>

#include "archive/storedname.h"
#include "platform/asciicase.h"
#include "platform/codepage.h"

namespace quillomar {

std::optional<WindowsNameFault> windowsNameFault(std::string_view component) {
    if (component.empty() || component == "." || component == "..") return std::nullopt;
    if (component.find(':') != std::string_view::npos) return WindowsNameFault::Stream;
    for (const char c : component) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || std::string_view("\"<>|*?").find(c) != std::string_view::npos) {
            return WindowsNameFault::ForbiddenCharacter;
        }
    }
    if (component.back() == '.' || component.back() == ' ') return WindowsNameFault::EndsInDotOrBlank;

    // The system compares the name up to its first dot, trailing blanks left out.
    std::string_view base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    std::string upper(base);
    for (char& c : upper) c = asciiUpper(c);
    static constexpr std::array<std::string_view, 6> kDevices = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    if (std::find(kDevices.begin(), kDevices.end(), upper) != kDevices.end()) return WindowsNameFault::Device;
    if (upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) && upper[3] >= '1' &&
        upper[3] <= '9') {
        return WindowsNameFault::Device;
    }
    return std::nullopt;
}

std::optional<WindowsNameProblem> findWindowsNameProblem(std::string_view stored) {
    if (stored.size() >= 2 && stored[1] == ':') return std::nullopt;  // a drive: an unsafe name
    for (std::size_t start = 0; start <= stored.size();) {
        const std::size_t end = std::min(stored.find_first_of("\\/", start), stored.size());
        const std::string_view component = stored.substr(start, end - start);
        if (const std::optional<WindowsNameFault> fault = windowsNameFault(component)) {
            return WindowsNameProblem{*fault, archiveCodePage().toUtf8(component)};
        }
        start = end + 1;
    }
    return std::nullopt;
}

std::string describeWindowsNameProblem(const WindowsNameProblem& problem) {
    const std::string name = "\"" + problem.component + "\"";
    switch (problem.fault) {
        case WindowsNameFault::Device:
            return name + " is a device name on Windows";
        case WindowsNameFault::Stream:
            return name + " holds ':', which names a stream of another file on Windows";
        case WindowsNameFault::ForbiddenCharacter:
            return name + " holds a character Windows forbids in names (\" < > | * ? or a control character)";
        case WindowsNameFault::EndsInDotOrBlank:
            return name + " ends in a dot or a blank, which Windows drops";
    }
    return name;
}

std::vector<WindowsNameWarning> findWindowsNameWarnings(const std::vector<SourceFile>& files,
                                                        std::int32_t prefixLength) {
    const auto prefix = static_cast<std::size_t>(std::max(prefixLength, 0));
    std::vector<WindowsNameWarning> warnings;
    for (const SourceFile& file : files) {
        if (file.name.size() <= prefix) continue;
        const std::string_view relative = std::string_view(file.name).substr(prefix);
        const StoredNameResult stored = storedNameFromHostPath(relative);
        if (!stored.name) continue;
        if (std::optional<WindowsNameProblem> problem = findWindowsNameProblem(*stored.name)) {
            warnings.push_back({std::string(relative),
                                describeWindowsNameProblem(*problem) + ": a Windows user could not extract it"});
        }
    }
    return warnings;
}

}  // namespace quillomar
