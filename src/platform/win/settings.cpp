#include "platform/settings.h"

#include <windows.h>

#include <cerrno>

#include "platform/win/widepath.h"

namespace quillomar {

namespace {

constexpr const wchar_t* kSettingsKey = L"Software\\Quillomar";

}  // namespace

std::optional<std::string> readSetting(std::string_view name) {
    const std::wstring wideName = win::toWide(name);
    wchar_t value[512];
    DWORD bytes = sizeof(value);
    if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, wideName.c_str(), RRF_RT_REG_SZ, nullptr, value, &bytes) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return win::toUtf8(value);
}

Failure writeSetting(std::string_view name, std::string_view value) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        return Failure::system(EACCES, "HKEY_CURRENT_USER\\Software\\Quillomar");
    }
    const std::wstring wideName = win::toWide(name);
    const std::wstring wideValue = win::toWide(value);
    const LONG written =
        RegSetValueExW(key, wideName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wideValue.c_str()),
                       static_cast<DWORD>((wideValue.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return written == ERROR_SUCCESS ? Failure() : Failure::system(EIO, "HKEY_CURRENT_USER\\Software\\Quillomar");
}

}  // namespace quillomar
