// The parts of the code page that are the same on every system: the tables once loaded, and the
// code page of the process.

#include <algorithm>
#include <cstdlib>

#include "platform/codepage.h"

namespace quillomar {

std::string CodePage::upper(std::string_view bytes) const {
    std::string out(bytes);
    for (char& c : out) c = upper(c);
    return out;
}

std::string CodePage::lower(std::string_view bytes) const {
    std::string out(bytes);
    for (char& c : out) c = lower(c);
    return out;
}

std::optional<char> CodePage::byteOf(char32_t character) const {
    auto it =
        std::lower_bound(fromUnicode_.begin(), fromUnicode_.end(), std::pair<char32_t, unsigned char>{character, 0});
    if (it == fromUnicode_.end() || it->first != character) return std::nullopt;
    return static_cast<char>(it->second);
}

namespace {

CodePage& currentPage() {
    static CodePage page = *CodePage::load(1252);
    return page;
}

}  // namespace

const CodePage& archiveCodePage() { return currentPage(); }

bool setArchiveCodePage(int number) {
    if (number == currentPage().number()) return true;
    std::optional<CodePage> page = CodePage::load(number);
    if (!page) return false;
    currentPage() = std::move(*page);
    return true;
}

std::optional<int> codePageFromEnvironment() {
    const char* value = std::getenv("QUILLOMAR_CODEPAGE");
    if (value == nullptr || *value == '\0') return 1252;
    char* end = nullptr;
    long number = std::strtol(value, &end, 10);
    if (*end != '\0' || number < 1250 || number > 1258) return std::nullopt;
    return static_cast<int>(number);
}

}  // namespace quillomar
