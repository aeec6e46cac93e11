#include "platform/registry.h"

#include "platform/fileio.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace quillomar {

namespace {

char asciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool isControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

struct Root {
    std::string_view full;
    std::string_view brief;
};

constexpr std::array<Root, 5> kRoots{{
    {"HKEY_CLASSES_ROOT", "HKCR"},
    {"HKEY_CURRENT_USER", "HKCU"},
    {"HKEY_LOCAL_MACHINE", "HKLM"},
    {"HKEY_USERS", "HKU"},
    {"HKEY_CURRENT_CONFIG", "HKCC"},
}};

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiUpper(a[i]) != asciiUpper(b[i])) return false;
    }
    return true;
}

// Splits a key path at '\'; empty when any part is empty or holds a control character.
std::vector<std::string_view> splitKeyPath(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        std::size_t end = path.find('\\', start);
        std::string_view part = path.substr(start, end == std::string_view::npos ? end : end - start);
        if (part.empty()) return {};
        for (char c : part) {
            if (isControl(c)) return {};
        }
        parts.push_back(part);
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return parts;
}

void appendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default: out += c;
        }
    }
    out += '"';
}

// Reads a quoted string at text[pos] (the opening quote); leaves pos after the closing quote.
std::optional<std::string> readQuoted(std::string_view text, std::size_t& pos) {
    if (pos >= text.size() || text[pos] != '"') return std::nullopt;
    std::string result;
    for (++pos; pos < text.size(); ++pos) {
        char c = text[pos];
        if (c == '"') {
            ++pos;
            return result;
        }
        if (c != '\\') {
            result += c;
            continue;
        }
        if (++pos == text.size()) return std::nullopt;
        switch (text[pos]) {
        case '\\': result += '\\'; break;
        case '"': result += '"'; break;
        case 'n': result += '\n'; break;
        case 'r': result += '\r'; break;
        case 't': result += '\t'; break;
        default: return std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace

bool RegistryNameLess::operator()(std::string_view a, std::string_view b) const {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        auto ca = static_cast<unsigned char>(asciiUpper(a[i]));
        auto cb = static_cast<unsigned char>(asciiUpper(b[i]));
        if (ca != cb) return ca < cb;
    }
    return a.size() < b.size();
}

std::string_view registryRootName(std::string_view name) {
    for (const Root& root : kRoots) {
        if (sameName(name, root.full) || sameName(name, root.brief)) return root.full;
    }
    return {};
}

struct RegistryStore::Key {
    std::string name;
    std::map<std::string, std::string, RegistryNameLess> values;
    std::map<std::string, std::unique_ptr<Key>, RegistryNameLess> children;
};

RegistryStore::RegistryStore() : roots_(std::make_unique<Key>()) {}
RegistryStore::~RegistryStore() = default;
RegistryStore::RegistryStore(RegistryStore&&) noexcept = default;
RegistryStore& RegistryStore::operator=(RegistryStore&&) noexcept = default;

RegistryStore::Key* RegistryStore::find(std::string_view path) const {
    std::vector<std::string_view> parts = splitKeyPath(path);
    if (parts.empty()) return nullptr;
    std::string_view root = registryRootName(parts[0]);
    if (root.empty()) return nullptr;
    auto rootIt = roots_->children.find(root);
    if (rootIt == roots_->children.end()) return nullptr;
    Key* key = rootIt->second.get();
    for (std::size_t i = 1; i < parts.size(); ++i) {
        auto it = key->children.find(parts[i]);
        if (it == key->children.end()) return nullptr;
        key = it->second.get();
    }
    return key;
}

bool RegistryStore::createKey(std::string_view path) {
    std::vector<std::string_view> parts = splitKeyPath(path);
    if (parts.empty()) return false;
    std::string_view root = registryRootName(parts[0]);
    if (root.empty()) return false;
    Key* key = roots_.get();
    parts[0] = root;
    for (std::string_view part : parts) {
        auto it = key->children.find(part);
        if (it == key->children.end()) {
            auto child = std::make_unique<Key>();
            child->name = std::string(part);
            it = key->children.emplace(std::string(part), std::move(child)).first;
        }
        key = it->second.get();
    }
    return true;
}

bool RegistryStore::hasKey(std::string_view path) const { return find(path) != nullptr; }

bool RegistryStore::deleteKeyTree(std::string_view path) {
    std::size_t cut = path.rfind('\\');
    if (cut == std::string_view::npos) return false;  // a root, or no path at all
    Key* parent = find(path.substr(0, cut));
    if (parent == nullptr) return false;
    auto it = parent->children.find(path.substr(cut + 1));
    if (it == parent->children.end()) return false;
    parent->children.erase(it);
    return true;
}

bool RegistryStore::setValue(std::string_view keyPath, std::string_view name, std::string_view value) {
    for (char c : name) {
        if (isControl(c)) return false;
    }
    if (!createKey(keyPath)) return false;
    find(keyPath)->values[std::string(name)] = std::string(value);
    return true;
}

std::optional<std::string> RegistryStore::value(std::string_view keyPath, std::string_view name) const {
    const Key* key = find(keyPath);
    if (key == nullptr) return std::nullopt;
    auto it = key->values.find(name);
    if (it == key->values.end()) return std::nullopt;
    return it->second;
}

bool RegistryStore::deleteValue(std::string_view keyPath, std::string_view name) {
    Key* key = find(keyPath);
    return key != nullptr && key->values.erase(std::string(name)) > 0;
}

std::vector<std::string> RegistryStore::subkeys(std::string_view path) const {
    std::vector<std::string> names;
    if (const Key* key = find(path)) {
        for (const auto& [name, child] : key->children) names.push_back(child->name);
    }
    return names;
}

std::size_t RegistryStore::valueCount(std::string_view path) const {
    const Key* key = find(path);
    return key == nullptr ? 0 : key->values.size();
}

bool RegistryStore::empty() const {
    for (const auto& [name, root] : roots_->children) {
        if (!root->children.empty()) return false;
    }
    return true;
}

std::string RegistryStore::serialize() const {
    std::string out = "; Quillomar registry store\n";
    // Depth-first, parents before children; roots themselves are implied by their keys.
    struct Walker {
        std::string& out;
        void walk(const Key& key, const std::string& path) {
            out += "\n[" + path + "]\n";
            for (const auto& [name, value] : key.values) {
                if (name.empty()) {
                    out += '@';
                } else {
                    appendQuoted(out, name);
                }
                out += '=';
                appendQuoted(out, value);
                out += '\n';
            }
            for (const auto& [childName, child] : key.children) walk(*child, path + "\\" + child->name);
        }
    };
    Walker walker{out};
    for (const auto& [rootName, root] : roots_->children) {
        for (const auto& [childName, child] : root->children) walker.walk(*child, root->name + "\\" + child->name);
    }
    return out;
}

bool RegistryStore::parse(std::string_view text) {
    auto fresh = std::make_unique<Key>();
    std::swap(fresh, roots_);
    std::string current;  // the section being read; empty before the first
    bool ok = true;
    std::size_t pos = 0;
    while (ok && pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            ok = line.size() > 2 && line.back() == ']';
            if (ok) {
                current = std::string(line.substr(1, line.size() - 2));
                ok = current.find('\\') != std::string::npos && createKey(current);
            }
            continue;
        }
        // A value line: @=  or  "name"=  followed by a quoted string, nothing after it.
        ok = !current.empty();
        std::string name;
        std::size_t at = 0;
        if (ok && line.front() == '@') {
            at = 1;
        } else if (ok) {
            std::optional<std::string> quoted = readQuoted(line, at);
            ok = quoted.has_value() && !quoted->empty();
            if (ok) name = *quoted;
        }
        ok = ok && at < line.size() && line[at] == '=';
        ++at;
        std::optional<std::string> value = ok ? readQuoted(line, at) : std::nullopt;
        ok = value.has_value() && at == line.size() && setValue(current, name, *value);
    }
    if (!ok) std::swap(fresh, roots_);  // keep what was there before
    return ok;
}

int RegistryStore::load(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            roots_ = std::make_unique<Key>();
            return 0;
        }
        return errno;
    }
    std::string text;
    std::array<char, 4096> buffer;
    int error = 0;
    while (true) {
        ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = errno;
            break;
        }
        if (n == 0) break;
        // The store holds a handful of keys; anything far larger is not one.
        if (text.size() > (1u << 20)) {
            error = EBADMSG;
            break;
        }
        text.append(buffer.data(), static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (error != 0) return error;
    return parse(text) ? 0 : EBADMSG;
}

int RegistryStore::save(const std::string& path) const { return writeFileAtomically(path, serialize(), 0600); }

DirectoryLock::~DirectoryLock() { unlock(); }

int DirectoryLock::lock(const std::string& folder) {
    unlock();
    fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) return errno;
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        int error = errno;
        unlock();
        return error;
    }
    return 0;
}

void DirectoryLock::unlock() {
    if (fd_ >= 0) {
        ::close(fd_);  // closing the last descriptor releases the lock
        fd_ = -1;
    }
}

int createFolders(const std::string& path, unsigned mode) {
    if (path.empty()) return ENOENT;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    if (errno != ENOENT) return errno;
    std::size_t slash = path.find_last_not_of('/');
    slash = slash == std::string::npos ? std::string::npos : path.rfind('/', slash);
    if (slash != std::string::npos && slash > 0) {
        if (int error = createFolders(path.substr(0, slash), mode); error != 0) return error;
    }
    if (::mkdir(path.c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST) return errno;
    return 0;
}

}  // namespace quillomar
