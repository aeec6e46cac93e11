// The system's text for an error. The failure record keeps errno values on every system; here
// each is turned back into the Win32 error it stands for, whose text FormatMessageW gives in the
// chosen language.

#include "platform/syserror.h"

#include <cstring>

#include "platform/win/widepath.h"

namespace quillomar {

namespace {
LANGID messageLanguage = 0;  // 0: the system's choice
}

void setSystemErrorLanguage(std::string_view language) {
    messageLanguage =
        language == "fr" ? MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH) : MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
}

std::string systemErrorText(int error) {
    const DWORD code = win::win32FromErrno(error);
    if (code != 0) {
        for (const LANGID language : {messageLanguage, LANGID{0}}) {
            wchar_t* text = nullptr;
            const DWORD length = FormatMessageW(
                FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                code, language, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
            if (length == 0) continue;
            std::wstring_view shown(text, length);
            // The system's texts end in a full stop and a line break: the path follows on a line of its own.
            while (!shown.empty() && (shown.back() == L'\n' || shown.back() == L'\r' || shown.back() == L' '))
                shown.remove_suffix(1);
            std::string utf8 = win::toUtf8(shown);
            LocalFree(text);
            return utf8;
        }
    }
    const char* text = std::strerror(error);
    return text != nullptr ? std::string(text) : "Unknown error " + std::to_string(error);
}

}  // namespace quillomar
