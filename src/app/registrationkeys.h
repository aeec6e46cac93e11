#pragma once
// What registration writes below the classes root (HKEY_CLASSES_ROOT), on every system: the
// application identity under AppID and the type library's keys. Linux keeps them in the registry
// store (platform/registry.h), Windows in the system registry.

#include <array>
#include <string>
#include <string_view>

#include "app/registration.h"
#include "platform/asciicase.h"

namespace quillomar::registration {

// AppID is shared with other programs and never deleted. The type library describes no types,
// only itself (QuillomarLib 1.0, locale 0x409); it is built into the program, so it is registered
// from the program's own file, under the key of the system it runs on.
enum class Source { Text, LibraryPath, LibraryFolder };
// The two groups of keys, each registered and unregistered in its own step.
enum class KeyGroup { Application, TypeLibrary };
enum class Step { Register, Unregister };
struct RegistryValue {
    KeyGroup group;
    std::string_view key;
    std::string_view name;
    Source source;
    std::string_view text;
};
inline constexpr std::string_view kKeptKey = "AppID";
#ifdef _WIN32
#define QUILLOMAR_TYPELIB_SYSTEM "win64"
#else
#define QUILLOMAR_TYPELIB_SYSTEM "linux"
#endif
inline constexpr std::array<RegistryValue, 7> kRegistryValues{{
    {KeyGroup::Application, "AppID\\{E1111D62-1426-4F18-9D1C-996D52361E8B}", "", Source::Text, "Quillomar"},
    {KeyGroup::Application, "AppID\\Quillomar.EXE", "AppID", Source::Text, kAppId},
    {KeyGroup::TypeLibrary, "TypeLib\\{4D0EF10D-8F87-4288-B76D-B5D56968CAA5}\\1.0", "", Source::Text,
     "Biblioth\xc3\xa8que de types Quillomar 1.0"},
    {KeyGroup::TypeLibrary, "TypeLib\\{4D0EF10D-8F87-4288-B76D-B5D56968CAA5}\\1.0", "Name", Source::Text,
     "QuillomarLib"},
    {KeyGroup::TypeLibrary,
     "TypeLib\\{4D0EF10D-8F87-4288-B76D-B5D56968CAA5}\\1.0\\409\\" QUILLOMAR_TYPELIB_SYSTEM,
     "",
     Source::LibraryPath,
     {}},
    {KeyGroup::TypeLibrary, "TypeLib\\{4D0EF10D-8F87-4288-B76D-B5D56968CAA5}\\1.0\\FLAGS", "", Source::Text, "0"},
    {KeyGroup::TypeLibrary,
     "TypeLib\\{4D0EF10D-8F87-4288-B76D-B5D56968CAA5}\\1.0\\HELPDIR",
     "",
     Source::LibraryFolder,
     {}},
}};
#undef QUILLOMAR_TYPELIB_SYSTEM

// Carries out one step on keys, any store with setValue, hasKey, hasSubkeys, hasValues and
// deleteKey over key paths below the classes root: registering writes the step's values;
// unregistering takes the deepest keys first, a key going with its values unless keys that this
// program did not write remain beneath it, and each parent left empty going too, up to AppID.
template <typename Keys>
void applyRegistrationStep(Keys& keys, KeyGroup group, Step step, const std::string& library,
                           const std::string& libraryFolder) {
    const bool registering = step == Step::Register;
    for (const RegistryValue& row : kRegistryValues) {
        if (!registering || row.group != group) continue;
        std::string value(row.text);
        if (row.source != Source::Text) value = row.source == Source::LibraryPath ? library : libraryFolder;
        keys.setValue(row.key, row.name, value);
    }
    for (auto row = kRegistryValues.rbegin(); !registering && row != kRegistryValues.rend(); ++row) {
        std::string key(row->key);
        if (row->group != group || !keys.hasKey(key) || keys.hasSubkeys(key)) continue;
        keys.deleteKey(key);
        for (std::size_t cut = key.rfind('\\'); cut != std::string::npos; cut = key.rfind('\\')) {
            key.resize(cut);
            if (equalsIgnoringAsciiCase(key, kKeptKey) || keys.hasValues(key) || keys.hasSubkeys(key)) break;
            keys.deleteKey(key);
        }
    }
}

}  // namespace quillomar::registration
