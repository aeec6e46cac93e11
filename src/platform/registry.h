#pragma once
// The registry store: the keys and string values under HKEY_CLASSES_ROOT that registration
// writes, kept in one text file in place of the system registry. A key is named by its path below
// the root ("AppID\Quillomar.EXE"); names compare without regard to ASCII case, as registry names
// do, and each part keeps the case it was first written in. The file lists every key, parents
// before children, each with its values ('\' escapes '\' and '"'; \n, \r, \t as usual):
//
//     ; Quillomar registry store
//
//     [HKEY_CLASSES_ROOT\AppID\Quillomar.EXE]
//     @="default value"
//     "AppID"="{E1111D62-1426-4F18-9D1C-996D52361E8B}"

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "platform/failure.h"

namespace quillomar {

class RegistryStore {
public:
    static constexpr std::string_view kRoot = "HKEY_CLASSES_ROOT";
    static constexpr std::string_view kFileName = "registry";  // inside the store's folder

    // A missing file gives an empty store. An empty record, or the failure (EBADMSG: not a store).
    [[nodiscard]] Failure load(const std::string& path);
    // Replaces the file atomically. An empty record, or the failing step's.
    [[nodiscard]] Failure save(const std::string& path) const;
    std::string serialize() const;
    // False, and the store unchanged, when the text is not a well-formed store.
    [[nodiscard]] bool parse(std::string_view text);

    // Creates the key and its parents; false for an empty part or a control character.
    bool createKey(std::string_view key);
    // "" names the key's default value; the key is created when missing.
    bool setValue(std::string_view key, std::string_view name, std::string_view value);
    std::optional<std::string> value(std::string_view key, std::string_view name) const;
    bool hasKey(std::string_view key) const { return keys_.count(key) != 0; }
    bool hasSubkeys(std::string_view key) const;
    bool hasValues(std::string_view key) const;
    // Deletes the key with its values and everything beneath it.
    void deleteKey(std::string_view key);

private:
    // Names without regard to case; in key paths the separator sorts before every other
    // character, so parents come before children and siblings are in name order.
    struct Order {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };
    std::map<std::string, std::map<std::string, std::string, Order>, Order> keys_;
};

}  // namespace quillomar
