#include "platform/registry.h"

#include <algorithm>
#include <cerrno>
#include <span>

#include "platform/asciicase.h"
#include "platform/fileio.h"

namespace quillomar {

namespace {

constexpr std::string_view kEscapes = "\\\\\"\"\nn\rr\tt";  // character, then its escape letter

bool isBelow(std::string_view key, std::string_view parent) {
    return key.size() > parent.size() && key[parent.size()] == '\\' &&
           equalsIgnoringAsciiCase(key.substr(0, parent.size()), parent);
}

void appendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        const std::size_t at = kEscapes.find(c);
        if (at != std::string_view::npos && at % 2 == 0) {
            out += '\\';
            c = kEscapes[at + 1];
        }
        out += c;
    }
    out += '"';
}

// Reads the quoted string that starts at text[pos]; leaves pos after its closing quote.
std::optional<std::string> readQuoted(std::string_view text, std::size_t& pos) {
    if (pos >= text.size() || text[pos] != '"') return std::nullopt;
    std::string result;
    for (++pos; pos < text.size() && text[pos] != '"'; ++pos) {
        if (text[pos] != '\\') {
            result += text[pos];
            continue;
        }
        std::size_t at = ++pos < text.size() ? kEscapes.find(text[pos], 1) : std::string_view::npos;
        while (at != std::string_view::npos && at % 2 == 0) at = kEscapes.find(text[pos], at + 1);
        if (at == std::string_view::npos) return std::nullopt;
        result += kEscapes[at - 1];
    }
    if (pos++ >= text.size()) return std::nullopt;
    return result;
}

}  // namespace

bool RegistryStore::Order::operator()(std::string_view a, std::string_view b) const {
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        const auto ca = static_cast<unsigned char>(a[i] == '\\' ? '\0' : asciiUpper(a[i]));
        const auto cb = static_cast<unsigned char>(b[i] == '\\' ? '\0' : asciiUpper(b[i]));
        if (ca != cb) return ca < cb;
    }
    return a.size() < b.size();
}

bool RegistryStore::createKey(std::string_view key) {
    const auto isControl = [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; };
    if (key.empty() || key.front() == '\\' || key.back() == '\\' || key.find("\\\\") != std::string_view::npos ||
        std::any_of(key.begin(), key.end(), isControl)) {
        return false;
    }
    std::string stored;  // the path so far, each part in the case it was first written in
    for (std::size_t start = 0, end = 0; end != std::string_view::npos; start = end + 1) {
        end = key.find('\\', start);
        const std::string part(key.substr(start, end == std::string_view::npos ? end : end - start));
        stored = keys_.try_emplace(stored.empty() ? part : stored + "\\" + part).first->first;
    }
    return true;
}

bool RegistryStore::setValue(std::string_view key, std::string_view name, std::string_view value) {
    if (!createKey(key)) return false;
    keys_.find(key)->second.insert_or_assign(std::string(name), std::string(value));
    return true;
}

std::optional<std::string> RegistryStore::value(std::string_view key, std::string_view name) const {
    const auto it = keys_.find(key);
    if (it == keys_.end() || it->second.count(name) == 0) return std::nullopt;
    return it->second.find(name)->second;
}

bool RegistryStore::hasSubkeys(std::string_view key) const {
    const auto next = keys_.upper_bound(key);
    return next != keys_.end() && isBelow(next->first, key);
}

bool RegistryStore::hasValues(std::string_view key) const {
    const auto it = keys_.find(key);
    return it != keys_.end() && !it->second.empty();
}

void RegistryStore::deleteKey(std::string_view key) {
    // The key's subtree follows it directly in key order.
    auto it = keys_.lower_bound(key);
    while (it != keys_.end() && (equalsIgnoringAsciiCase(it->first, key) || isBelow(it->first, key))) {
        it = keys_.erase(it);
    }
}

std::string RegistryStore::serialize() const {
    std::string out = "; Quillomar registry store\n";
    for (const auto& [key, values] : keys_) {
        out += "\n[" + std::string(kRoot) + "\\" + key + "]\n";
        for (const auto& [name, value] : values) {
            if (name.empty()) out += '@';
            if (!name.empty()) appendQuoted(out, name);
            out += '=';
            appendQuoted(out, value);
            out += '\n';
        }
    }
    return out;
}

bool RegistryStore::parse(std::string_view text) {
    RegistryStore read;
    const std::string section = "[" + std::string(kRoot) + "\\";
    std::string current;  // the key being read; empty before the first section
    for (std::size_t pos = 0, end = 0; pos < text.size(); pos = end + 1) {
        end = std::min(text.find('\n', pos), text.size());
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            if (line.size() <= section.size() + 1 || line.back() != ']' ||
                !equalsIgnoringAsciiCase(line.substr(0, section.size()), section)) {
                return false;
            }
            current = line.substr(section.size(), line.size() - section.size() - 1);
            if (!read.createKey(current)) return false;
            continue;
        }
        // A value line: @=  or  "name"=  then a quoted string and nothing after it.
        std::size_t at = line.front() == '@' ? 1 : 0;
        const std::optional<std::string> name = at == 1 ? std::string() : readQuoted(line, at);
        if (!name || (at != 1 && name->empty()) || current.empty() || at >= line.size() || line[at++] != '=') {
            return false;
        }
        const std::optional<std::string> value = readQuoted(line, at);
        if (!value || at != line.size()) return false;
        read.setValue(current, *name, *value);
    }
    keys_ = std::move(read.keys_);
    return true;
}

Failure RegistryStore::load(const std::string& path) {
    const File file = File::openRead(path);
    if (!file.valid() && file.failure().error == ENOENT) keys_.clear();
    if (!file.valid()) return file.failure().error == ENOENT ? Failure() : file.failure();
    // The store holds a handful of keys; anything far larger is not one.
    const Result<std::uint64_t> bytes = file.size();
    if (!bytes) return bytes.failure();
    if (*bytes > (1 << 20)) return Failure::system(EBADMSG, path);
    const auto size = static_cast<std::int64_t>(*bytes);
    std::string text(static_cast<std::size_t>(size), '\0');
    const ReadResult read = file.readAt(0, std::as_writable_bytes(std::span(text)));
    if (!read.ok()) return read.failure;
    const std::int64_t got = read.count;
    return got == size && parse(text) ? Failure() : Failure::system(got == size ? EBADMSG : EIO, path);
}

Failure RegistryStore::save(const std::string& path) const { return writeFileAtomically(path, serialize(), 0600); }

}  // namespace quillomar
