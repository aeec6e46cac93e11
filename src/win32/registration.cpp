// Component-server registration on Windows: the registration table written to the system
// registry. The classes root is the machine's (HKLM\Software\Classes) when this user may write
// it, else the user's own (HKCU\Software\Classes), which Windows merges into HKEY_CLASSES_ROOT
// for that user. Unregistering removes the keys from every classes root the user may write.

#include <windows.h>

#include <ole2.h>

#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "app/registration.h"
#include "app/registrationkeys.h"
#include "win32/widetext.h"

namespace quillomar {

int status::fromErrno(int error) {
    const auto code = static_cast<std::uint32_t>(error == 0 ? EIO : error) & 0xFFFFu;
    return static_cast<std::int32_t>(0x80070000u | code);
}

namespace {

// A Win32 error as the component model's result code (HRESULT_FROM_WIN32).
int fromWin32(LONG error) {
    if (error == ERROR_SUCCESS) return status::kOk;
    return static_cast<std::int32_t>(0x80070000u | (static_cast<std::uint32_t>(error) & 0xFFFFu));
}

// The keys below one classes root, for the registration table. The first failing call's error
// is kept.
class ClassesKeys {
public:
    explicit ClassesKeys(HKEY root) : root_(root) {}
    ~ClassesKeys() { RegCloseKey(root_); }
    ClassesKeys(const ClassesKeys&) = delete;
    ClassesKeys& operator=(const ClassesKeys&) = delete;

    // The classes root of hive, opened for writing; nullptr when this user may not write it.
    static HKEY open(HKEY hive) {
        HKEY root = nullptr;
        const LONG error = RegCreateKeyExW(hive, L"Software\\Classes", 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           KEY_READ | KEY_WRITE, nullptr, &root, nullptr);
        return error == ERROR_SUCCESS ? root : nullptr;
    }

    void setValue(std::string_view key, std::string_view name, std::string_view value) {
        HKEY opened = nullptr;
        LONG error = RegCreateKeyExW(root_, win32::toWide(key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_SET_VALUE, nullptr, &opened, nullptr);
        if (error == ERROR_SUCCESS) {
            const std::wstring text = win32::toWide(value);
            const std::wstring valueName = win32::toWide(name);
            error = RegSetValueExW(opened, name.empty() ? nullptr : valueName.c_str(), 0, REG_SZ,
                                   reinterpret_cast<const BYTE*>(text.c_str()),
                                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
            RegCloseKey(opened);
        }
        keep(error);
    }

    bool hasKey(std::string_view key) const { return counts(key).has_value(); }
    bool hasSubkeys(std::string_view key) const {
        const auto found = counts(key);
        return found && found->first > 0;
    }
    bool hasValues(std::string_view key) const {
        const auto found = counts(key);
        return found && found->second > 0;
    }

    void deleteKey(std::string_view key) {
        const LONG error = RegDeleteTreeW(root_, win32::toWide(key).c_str());
        if (error == ERROR_FILE_NOT_FOUND) return;
        keep(error);
        if (error == ERROR_SUCCESS) {
            const LONG left = RegDeleteKeyW(root_, win32::toWide(key).c_str());
            if (left != ERROR_FILE_NOT_FOUND) keep(left);
        }
    }

    LONG error() const { return error_; }

private:
    // The key's subkey and value counts; nullopt when it is not there.
    std::optional<std::pair<DWORD, DWORD>> counts(std::string_view key) const {
        HKEY opened = nullptr;
        if (RegOpenKeyExW(root_, win32::toWide(key).c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) {
            return std::nullopt;
        }
        DWORD subkeys = 0;
        DWORD values = 0;
        const LONG error = RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                                            nullptr, nullptr, nullptr, nullptr);
        RegCloseKey(opened);
        if (error != ERROR_SUCCESS) return std::nullopt;
        return std::pair{subkeys, values};
    }

    void keep(LONG error) {
        if (error_ == ERROR_SUCCESS) error_ = error;
    }

    HKEY root_;
    LONG error_ = ERROR_SUCCESS;
};

std::wstring moduleFileName() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::string programPath(const RegistrationSetup& setup) {
    return setup.programPath.empty() ? win32::toUtf8(moduleFileName()) : setup.programPath;
}

std::string folderOf(const std::string& path) {
    const std::size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

// The type library is loaded from the program's own file: the file must be there.
bool libraryLoads(const std::string& library) {
    return !library.empty() && GetFileAttributesW(win32::toWide(library).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// One step of the table. Registering writes to the machine's classes when this user may, else to
// the user's; unregistering removes from both, where this user may.
int applyStep(registration::KeyGroup group, registration::Step step, const std::string& library) {
    const std::string folder = folderOf(library);
    HKEY machine = ClassesKeys::open(HKEY_LOCAL_MACHINE);
    if (step == registration::Step::Register) {
        HKEY root = machine != nullptr ? machine : ClassesKeys::open(HKEY_CURRENT_USER);
        if (root == nullptr) return fromWin32(ERROR_ACCESS_DENIED);
        ClassesKeys keys(root);
        registration::applyRegistrationStep(keys, group, step, library, folder);
        return fromWin32(keys.error());
    }
    LONG error = ERROR_SUCCESS;
    for (HKEY root : {machine, ClassesKeys::open(HKEY_CURRENT_USER)}) {
        if (root == nullptr) continue;
        ClassesKeys keys(root);
        registration::applyRegistrationStep(keys, group, step, library, folder);
        if (error == ERROR_SUCCESS) error = keys.error();
    }
    return fromWin32(error);
}

// Constructed with the other statics, before the entry point runs: the component model is
// initialised on the one thread, as the folder picker, the shell's "open" and dragging files
// out need (OleInitialize: a single-threaded apartment, and drag and drop).
[[maybe_unused]] const bool kProcessModuleReady = (ServerModule::process(), true);

}  // namespace

ServerModule::ServerModule(RegistrationSetup setup)
    : setup_(std::move(setup)), initFailed_(FAILED(OleInitialize(nullptr))) {}

ServerModule& ServerModule::process() {
    static ServerModule module({{}, {}, {}, {}});
    return module;
}

int ServerModule::registerServer() {
    const int result =
        applyStep(registration::KeyGroup::Application, registration::Step::Register, programPath(setup_));
    if (result != status::kOk) return result;
    const std::string library = programPath(setup_);
    return libraryLoads(library) ? applyStep(registration::KeyGroup::TypeLibrary, registration::Step::Register, library)
                                 : status::kTypeLibraryNotLoaded;
}

int ServerModule::unregisterServer() {
    const std::string library = programPath(setup_);
    if (!libraryLoads(library)) return status::kTypeLibraryNotLoaded;
    const int result = applyStep(registration::KeyGroup::TypeLibrary, registration::Step::Unregister, library);
    return result != status::kOk
               ? result
               : applyStep(registration::KeyGroup::Application, registration::Step::Unregister, library);
}

}  // namespace quillomar
