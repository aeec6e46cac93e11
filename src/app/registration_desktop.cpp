#include "app/registration_desktop.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "app/registration_files.h"
#include "platform/fileio.h"
#include "platform/registry.h"

namespace quillomar {

namespace {

struct Placement {
    std::string_view embeddedName;
    std::string_view relativePath;
};

constexpr std::array<Placement, 8> kPlacements{{
    {"quillomar.svg", "icons/hicolor/scalable/apps/quillomar.svg"},
    {"quillomar-16.png", "icons/hicolor/16x16/apps/quillomar.png"},
    {"quillomar-32.png", "icons/hicolor/32x32/apps/quillomar.png"},
    {"quillomar-48.png", "icons/hicolor/48x48/apps/quillomar.png"},
    {"quillomar-256.png", "icons/hicolor/256x256/apps/quillomar.png"},
    {"quillomar-mime.xml", "mime/packages/quillomar.xml"},
    {"org.quillomar.quillomar.metainfo.xml", "metainfo/org.quillomar.quillomar.metainfo.xml"},
    {"quillomar.desktop", "applications/quillomar.desktop"},
}};

bool isValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size()) return false;
        std::uint32_t code = length == 1 ? c : c & (0x7Fu >> length);
        for (std::size_t k = 1; k < length; ++k) {
            auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3Fu);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        static constexpr std::uint32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kMinimum[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

// Escapes a string value of a desktop entry.
std::string escapeString(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

// Replaces the value of the first line "key=..." in the [Desktop Entry] text.
void replaceValue(std::string& entry, std::string_view key, std::string_view value) {
    std::string prefix = "\n" + std::string(key) + "=";
    std::size_t at = entry.find(prefix);
    if (at == std::string::npos) return;
    std::size_t start = at + prefix.size();
    std::size_t end = entry.find('\n', start);
    entry.replace(start, (end == std::string::npos ? entry.size() : end) - start, value);
}


std::string parentOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

std::string desktopExecValue(const std::string& programPath) {
    if (!isValidUtf8(programPath)) return {};
    bool reserved = false;
    for (char c : programPath) {
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n') || c == 0x7F) return {};
        if (std::string_view(" \t\n\"'\\><~|&;$*?#()`").find(c) != std::string_view::npos) reserved = true;
    }
    std::string argument;
    if (reserved) {
        argument += '"';
        for (char c : programPath) {
            if (c == '"' || c == '`' || c == '$' || c == '\\') argument += '\\';
            argument += c;
        }
        argument += '"';
    } else {
        argument = programPath;
    }
    // A literal '%' is written "%%": field codes begin with '%'.
    std::string withPercent;
    for (char c : argument) {
        withPercent += c;
        if (c == '%') withPercent += '%';
    }
    return escapeString(withPercent) + " %f";
}

std::vector<DesktopFile> desktopFiles(const std::string& programPath) {
    std::vector<DesktopFile> files;
    for (const Placement& placement : kPlacements) {
        DesktopFile file{std::string(placement.relativePath), std::string(embeddedFile(placement.embeddedName))};
        if (placement.embeddedName == "quillomar.desktop") {
            replaceValue(file.contents, "Exec", desktopExecValue(programPath));
            replaceValue(file.contents, "TryExec", escapeString(programPath));
        }
        files.push_back(std::move(file));
    }
    return files;
}

int installDesktopFiles(const std::string& dataHome, const std::string& programPath) {
    if (desktopExecValue(programPath).empty()) return EILSEQ;
    int error = 0;
    for (const DesktopFile& file : desktopFiles(programPath)) {
        if (file.contents.empty()) {
            error = ENOENT;  // the program was built without this file
            break;
        }
        std::string path = dataHome + "/" + file.relativePath;
        error = createFolders(parentOf(path), 0700);
        if (error == 0) error = writeFileAtomically(path, file.contents, 0644);
        if (error != 0) break;
    }
    if (error != 0) removeDesktopFiles(dataHome);
    return error;
}

int removeDesktopFiles(const std::string& dataHome) {
    int firstError = 0;
    // The desktop entry first: it is the only file that names the others.
    for (auto it = kPlacements.rbegin(); it != kPlacements.rend(); ++it) {
        std::string path = dataHome + "/" + std::string(it->relativePath);
        if (::unlink(path.c_str()) != 0 && errno != ENOENT && firstError == 0) firstError = errno;
        // Folders left empty go too, up to the data folder.
        for (std::string folder = parentOf(path); folder.size() > dataHome.size(); folder = parentOf(folder)) {
            if (::rmdir(folder.c_str()) != 0) break;
        }
    }
    return firstError;
}

}  // namespace quillomar
