// Any bytes as text crossing the archive boundary: code-page conversion and upper-casing, header
// texts, stored names from host paths, stored names back to extraction paths, the path split, and
// the timestamp word. The first byte picks the code page (1250-1258); the rest is the text.

#include <unicode/utf8.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "archive/podformat.h"
#include "archive/splitpath.h"
#include "archive/storedname.h"
#include "archive/timestamp.h"
#include "fuzzsupport.h"
#include "platform/codepage.h"
#include "platform/filetime.h"

using namespace quillomar;

namespace {

bool validUtf8(std::string_view text) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    for (int32_t i = 0; i < length;) {
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) return false;
    }
    return true;
}

// Components of a path, split at '/' and '\'.
template <typename Visit>
void forEachComponent(std::string_view path, Visit visit) {
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = path.size();
        visit(path.substr(start, end - start));
        start = end + 1;
    }
}

// A relative host path as a scan can produce one: no empty, "." or ".." component, no NUL.
bool scannable(std::string_view path) {
    if (path.empty() || path.find('\0') != std::string_view::npos) return false;
    bool ok = true;
    std::size_t pos = 0;
    while (ok) {
        std::size_t end = path.find('/', pos);
        std::string_view part = path.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        ok = !part.empty() && part != "." && part != "..";
        if (end == std::string_view::npos) break;
        pos = end + 1;
    }
    return ok;
}

void checkCodePage(const CodePage& page, std::string_view text) {
    const std::string utf8 = page.toUtf8(text);
    fuzz::check(validUtf8(utf8), "toUtf8 made invalid UTF-8");
    fuzz::check(page.fromUtf8(utf8) == std::string(text), "code-page bytes do not come back from UTF-8");

    if (std::optional<std::string> bytes = page.fromUtf8(text)) {
        fuzz::check(page.toUtf8(*bytes) == text, "UTF-8 does not come back from the code page");
    }

    const std::string upper = page.upper(text);
    fuzz::check(upper.size() == text.size(), "upper-casing changed the length");
    fuzz::check(page.upper(upper) == upper, "upper-casing is not stable");
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (static_cast<unsigned char>(c) < 0x80) {
            const char expected = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
            fuzz::check(upper[i] == expected, "ASCII upper-casing differs");
        }
    }

    // A header text keeps at most 79 bytes, up to its first NUL, and ends in a 0 byte.
    const HeaderText field = makeHeaderText(text);
    fuzz::check(field.back() == '\0', "a header text field does not end in 0");
    std::string_view kept = text.substr(0, std::min<std::size_t>(text.size(), kHeaderTextSize - 1));
    kept = kept.substr(0, kept.find('\0'));
    fuzz::check(headerText(field) == kept, "a header text does not read back");
}

void checkStoredNames(std::string_view text) {
    const CodePage& page = archiveCodePage();

    StoredNameResult stored = storedNameFromHostPath(text);
    if (stored.name) {
        const std::string& name = *stored.name;
        fuzz::check(name.size() <= kMaxStoredNameLength, "a stored name is longer than 259 bytes");
        fuzz::check(name.find('/') == std::string::npos, "a stored name holds '/'");
        fuzz::check(page.upper(name) == name, "a stored name is not upper case");
        if (scannable(text)) {
            // Whatever the writer stores, extraction must take back, to the upper-cased host path.
            std::optional<std::string> back = safeRelativePath(name);
            fuzz::check(back.has_value(), "the writer stored a name extraction refuses", name);
            fuzz::check(*back == page.toUtf8(page.upper(*page.fromUtf8(text))), "a stored name extracts elsewhere",
                        *back);
        }
    } else {
        fuzz::check(stored.error == EINVAL || stored.error == EILSEQ || stored.error == ENAMETOOLONG,
                    "a refused name has an unexpected error");
    }

    if (std::optional<std::string> relative = safeRelativePath(text)) {
        fuzz::check(!relative->empty() && relative->front() != '/', "an extraction path is empty or absolute",
                    *relative);
        fuzz::check(validUtf8(*relative), "an extraction path is not UTF-8");
        fuzz::check(relative->find('\\') == std::string::npos, "an extraction path holds '\\'");
        if (text.find('\0') == std::string_view::npos) {
            fuzz::check(relative->find('\0') == std::string::npos, "an extraction path holds a NUL");
        }
        forEachComponent(*relative, [&](std::string_view part) {
            fuzz::check(!part.empty() && part != "." && part != "..", "an extraction path leaves its root", *relative);
        });
    } else {
        // Refused names are shown in messages.
        fuzz::check(validUtf8(storedNameForMessage(text)), "a refused name is shown as invalid UTF-8");
    }
}

void checkSplitPath(std::string_view text) {
    const PathParts parts = splitPath(text);
    for (const std::string* part : {&parts.folder, &parts.name, &parts.extension}) {
        fuzz::check(part->size() <= 255, "a path part is longer than 255 characters");
    }
    fuzz::check(parts.drive.empty() || (parts.drive.size() == 2 && parts.drive[1] == ':'), "a drive is not X:");
    // A folder cut to 255 characters may lose its final separator, as _splitpath's does.
    fuzz::check(
        parts.folder.empty() || parts.folder.size() == 255 || parts.folder.back() == '/' || parts.folder.back() == '\\',
        "a folder does not end in a separator");
    fuzz::check(parts.name.find_first_of("\\/") == std::string::npos, "a name holds a separator");
    fuzz::check(parts.extension.empty() ||
                    (parts.extension.front() == '.' && parts.extension.find_first_of("\\/.", 1) == std::string::npos),
                "an extension is not one dot and what follows it");
    if (text.size() <= 255) {
        fuzz::check(parts.drive + parts.folder + parts.name + parts.extension == text, "the parts do not join back");
    }
}

void checkTimes(const std::uint8_t* data, std::size_t size) {
    if (size < 12) return;
    std::uint32_t word = 0;
    std::memcpy(&word, data, 4);
    if (std::optional<FileTime> decoded = decodeTimestamp(word)) {
        fuzz::check(encodeTimestamp(*decoded) == word, "a timestamp word does not come back");
    }
    // Any time a file system may report: outside the DOS range it is stored as no time.
    std::int64_t seconds = 0;
    std::memcpy(&seconds, data + 4, 8);
    struct timespec ts {};
    ts.tv_sec = static_cast<time_t>(seconds);
    ts.tv_nsec = static_cast<long>(word % 1000000000u);
    const FileTime time = fileTimeFromTimespec(ts);
    if (std::optional<DosDateTime> dos = fileTimeToDosDateTime(time)) {
        std::optional<FileTime> back = dosDateTimeToFileTime(*dos);
        fuzz::check(back.has_value() && *back <= time && time - *back < 2 * kFileTimeTicksPerSecond,
                    "a DOS time is not the file time rounded down to two seconds");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::array<CodePage, 9> pages = [] {
        std::array<std::optional<CodePage>, 9> loaded;
        for (int i = 0; i < 9; ++i) loaded[static_cast<std::size_t>(i)] = CodePage::load(1250 + i);
        return std::array<CodePage, 9>{*loaded[0], *loaded[1], *loaded[2], *loaded[3], *loaded[4],
                                       *loaded[5], *loaded[6], *loaded[7], *loaded[8]};
    }();
    if (size == 0) return 0;
    const CodePage& page = pages[data[0] % 9];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    checkCodePage(page, text);
    setArchiveCodePage(page.number());
    checkStoredNames(text);
    checkSplitPath(text);
    checkTimes(data + 1, size - 1);
    return 0;
}
