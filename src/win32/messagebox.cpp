#include "win32/messagebox.h"

#include <windows.h>

#include <algorithm>

#include "app/stringtable.h"
#include "win32/messagewrap.h"
#include "win32/widetext.h"

namespace quillomar::win32 {

namespace {

void showWarningBox(const std::string& text) {
    const std::wstring caption = toWide(loadString(kMsgProgramName));
    MessageBoxW(nullptr, toWide(wrapMessageText(text)).c_str(), caption.c_str(), MB_OK | MB_ICONWARNING);
}

}  // namespace

void BoxMessageSink::stringMessage(int id) { showWarningBox(loadString(id, currentLanguage(), kMessageBufferSize)); }

// The path after "==> " is shown with Windows' separator alone.
void BoxMessageSink::systemError(const std::string& message) {
    std::string shown = message;
    const std::size_t path = shown.find("\n==> ");
    if (path != std::string::npos)
        std::replace(shown.begin() + static_cast<std::ptrdiff_t>(path), shown.end(), '/', '\\');
    showWarningBox(shown);
}

std::string BoxMessageSink::text(int id) { return loadString(id, currentLanguage()); }

}  // namespace quillomar::win32
