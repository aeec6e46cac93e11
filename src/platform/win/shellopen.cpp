#include "platform/shellopen.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cerrno>

#include "platform/messages.h"
#include "platform/win/widepath.h"

namespace quillomar {

Failure openWithAssociatedProgram(const std::string& path) {
    const std::wstring wide = win::widePath(path);
    const auto result =
        reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (result > 32) return {};
    switch (result) {
        case SE_ERR_NOASSOC:
        case SE_ERR_ASSOCINCOMPLETE:
            return Failure::message(kMsgNoAssociation, path);
        case 0:
        case SE_ERR_OOM:
            return Failure::system(ENOMEM, path);
        case SE_ERR_FNF:
        case SE_ERR_PNF:
            return Failure::system(ENOENT, path);
        case SE_ERR_ACCESSDENIED:
        case SE_ERR_SHARE:
            return Failure::system(EACCES, path);
        default:
            return Failure::system(EIO, path);
    }
}

}  // namespace quillomar
