#pragma once
// The registry store: the keys and string values that registration writes, kept in one text
// file in place of the system registry. Keys are addressed by paths whose parts are separated by
// '\' and whose first part is a root ("HKEY_CLASSES_ROOT"); names compare without regard to ASCII
// case, as registry names do. The roots always exist and are never written as keys of their own.
//
// The file lists every key in a section, parents before children, each followed by its values:
//
//     ; Quillomar registry store
//     [HKEY_CLASSES_ROOT\AppID\Quillomar.EXE]
//     @="default value"
//     "AppID"="{E1111D62-1426-4F18-9D1C-996D52361E8B}"
//
// Inside quotes, '\' escapes '\', '"', and n, r, t stand for line feed, carriage return and tab.

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillomar {

// Orders names as the registry does: ASCII letters without regard to case.
struct RegistryNameLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};

class RegistryStore {
public:
    RegistryStore();
    ~RegistryStore();
    RegistryStore(RegistryStore&&) noexcept;
    RegistryStore& operator=(RegistryStore&&) noexcept;

    // The store's file name inside its folder.
    static constexpr std::string_view kFileName = "registry";

    // Replaces the contents with the file at path. A missing file gives an empty store.
    // Returns 0, or an errno value: EBADMSG when the file is not a well-formed store.
    int load(const std::string& path);
    // Writes the contents to path atomically (a temporary file in the same folder, flushed to
    // disk, then renamed over path). Returns 0 or an errno value; path is untouched on failure.
    int save(const std::string& path) const;

    // The text that save writes; parse reads the same text back (false: not a well-formed store).
    std::string serialize() const;
    bool parse(std::string_view text);

    // Creates the key and any missing parents. False when the path is not valid (no root,
    // an empty part, a control character in a name).
    bool createKey(std::string_view path);
    bool hasKey(std::string_view path) const;
    // Deletes the key with its values and every key beneath it; false when it did not exist.
    // A root is never deleted: only its keys are.
    bool deleteKeyTree(std::string_view path);

    // Sets a string value ("" names the key's default value), creating the key when missing.
    bool setValue(std::string_view keyPath, std::string_view name, std::string_view value);
    std::optional<std::string> value(std::string_view keyPath, std::string_view name) const;
    bool deleteValue(std::string_view keyPath, std::string_view name);

    // Names of the key's direct subkeys, in registry order; empty when the key does not exist.
    std::vector<std::string> subkeys(std::string_view path) const;
    std::size_t valueCount(std::string_view path) const;

    // True when no root holds any key.
    bool empty() const;

private:
    struct Key;
    Key* find(std::string_view path) const;
    std::unique_ptr<Key> roots_;
};

// The known roots and their short names ("HKCR" for "HKEY_CLASSES_ROOT"): the full name, or an
// empty view when name is not a root.
std::string_view registryRootName(std::string_view name);

// Holds an exclusive lock on a folder (flock on the folder itself, so no lock file is left
// behind) while one process edits the store inside it.
class DirectoryLock {
public:
    DirectoryLock() = default;
    ~DirectoryLock();
    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;

    // Opens and locks the folder, waiting for another holder. Returns 0 or an errno value.
    int lock(const std::string& folder);
    void unlock();

private:
    int fd_ = -1;
};

// Creates the folder and its missing parents; folders it creates get the given mode.
// Returns 0 or an errno value.
int createFolders(const std::string& path, unsigned mode);

}  // namespace quillomar
