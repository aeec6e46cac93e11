#include "app/registration_typelib.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <vector>

namespace quillomar {

namespace {

// Upper bound of a block's length: the fields are short.
constexpr std::size_t kMaxBlock = 1024;

// The stored library.
constexpr char kBlock[] =
    "QUILLOMAR TYPE LIBRARY 1\n"
    "name=QuillomarLib\n"
    "helpstring=Biblioth\xc3\xa8que de types Quillomar 1.0\n"
    "version=1.0\n"
    "lcid=0409\n"
    "libid={4D0EF10D-8F87-4288-B76D-B5D56968CAA5}\n"
    "syskind=linux\n"
    "end\n";

// The block opens with a signature line; the fields follow one a line, "end" closes it.
constexpr std::size_t kSignatureLength = std::string_view(kBlock).find('\n') + 1;

template <typename T>
bool parseNumber(std::string_view text, T& out, int base) {
    if (text.empty()) return false;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out, base);
    return error == std::errc{} && end == text.data() + text.size();
}

// Parses the text after the signature; nullopt unless every field is present and well-formed.
std::optional<TypeLibraryAttributes> parseBlock(std::string_view text) {
    TypeLibraryAttributes attributes;
    bool haveVersion = false;
    bool haveLocale = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) return std::nullopt;
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line == "end") {
            if (attributes.name.empty() || attributes.libraryId.empty() || attributes.systemKind.empty() ||
                !haveVersion || !haveLocale) {
                return std::nullopt;
            }
            return attributes;
        }
        std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) return std::nullopt;
        std::string_view field = line.substr(0, eq);
        std::string_view value = line.substr(eq + 1);
        if (field == "name") {
            attributes.name = value;
        } else if (field == "helpstring") {
            attributes.helpString = value;
        } else if (field == "libid") {
            attributes.libraryId = value;
        } else if (field == "syskind") {
            attributes.systemKind = value;
        } else if (field == "version") {
            std::size_t dot = value.find('.');
            haveVersion = dot != std::string_view::npos &&
                          parseNumber(value.substr(0, dot), attributes.majorVersion, 10) &&
                          parseNumber(value.substr(dot + 1), attributes.minorVersion, 10);
            if (!haveVersion) return std::nullopt;
        } else if (field == "lcid") {
            haveLocale = parseNumber(value, attributes.locale, 16);
            if (!haveLocale) return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::string hex(std::uint32_t number) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%x", number);
    return buffer;
}

bool isEmptyKey(const RegistryStore& store, const std::string& path) {
    return store.hasKey(path) && store.subkeys(path).empty() && store.valueCount(path) == 0;
}

}  // namespace

std::string_view typeLibraryBlock() { return {kBlock, sizeof kBlock - 1}; }

std::optional<TypeLibraryAttributes> loadTypeLibraryFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    // The signature is searched for as part of kBlock itself, so that the search adds no second
    // copy of it to the program; a copy that is not followed by a well-formed block is passed over.
    const std::string_view signature = typeLibraryBlock().substr(0, kSignatureLength);
    std::vector<char> buffer(1 << 20);
    std::string window;  // what is left to search: a tail of the last read, or a block begun
    bool atEnd = false;
    while (!atEnd) {
        ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        atEnd = n == 0;
        window.append(buffer.data(), static_cast<std::size_t>(n));
        std::size_t from = 0;
        while (true) {
            std::size_t at = window.find(signature, from);
            if (at == std::string::npos) {
                // Keep enough to find a signature split across two reads.
                window.erase(0, window.size() - std::min(window.size(), signature.size() - 1));
                break;
            }
            if (!atEnd && window.size() - at < signature.size() + kMaxBlock) {
                window.erase(0, at);  // the block may go on in the next read
                break;
            }
            std::string_view body = std::string_view(window).substr(at + signature.size(), kMaxBlock);
            std::size_t end = body.find("\nend\n");
            if (end != std::string_view::npos) {
                if (auto attributes = parseBlock(body.substr(0, end + 5))) {
                    ::close(fd);
                    return attributes;
                }
            }
            from = at + 1;
        }
    }
    ::close(fd);
    return std::nullopt;
}

std::string typeLibraryFallbackPath(const std::string& programPath) {
    std::size_t slash = programPath.rfind('/');
    std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = programPath.rfind('.');
    if (dot == std::string::npos || dot < nameStart) return programPath + ".tlb";
    return programPath.substr(0, dot) + ".tlb";
}

std::optional<LoadedTypeLibrary> loadTypeLibrary(const std::string& programPath) {
    if (programPath.empty()) return std::nullopt;
    if (auto attributes = loadTypeLibraryFile(programPath)) return LoadedTypeLibrary{*attributes, programPath};
    std::string fallback = typeLibraryFallbackPath(programPath);
    if (auto attributes = loadTypeLibraryFile(fallback)) return LoadedTypeLibrary{*attributes, fallback};
    return std::nullopt;
}

std::string typeLibraryVersionKey(const TypeLibraryAttributes& attributes) {
    return "HKEY_CLASSES_ROOT\\TypeLib\\" + attributes.libraryId + "\\" + std::to_string(attributes.majorVersion) +
           "." + std::to_string(attributes.minorVersion);
}

bool registerTypeLibrary(const LoadedTypeLibrary& library, RegistryStore& store) {
    const TypeLibraryAttributes& a = library.attributes;
    std::string version = typeLibraryVersionKey(a);
    std::size_t slash = library.path.rfind('/');
    std::string folder = slash == std::string::npos ? std::string(".") : library.path.substr(0, slash == 0 ? 1 : slash);
    return store.setValue(version, "", a.helpString.empty() ? a.name : a.helpString) &&
           store.setValue(version, "Name", a.name) &&
           store.setValue(version + "\\" + hex(a.locale) + "\\" + a.systemKind, "", library.path) &&
           store.setValue(version + "\\FLAGS", "", "0") && store.setValue(version + "\\HELPDIR", "", folder);
}

void unregisterTypeLibrary(const TypeLibraryAttributes& attributes, RegistryStore& store) {
    std::string version = typeLibraryVersionKey(attributes);
    std::string locale = version + "\\" + hex(attributes.locale);
    if (!store.hasKey(locale + "\\" + attributes.systemKind)) return;
    store.deleteKeyTree(locale + "\\" + attributes.systemKind);
    if (isEmptyKey(store, locale)) store.deleteKeyTree(locale);
    // The version goes when no other locale keeps it: only FLAGS and HELPDIR remain.
    std::vector<std::string> rest = store.subkeys(version);
    bool otherLocale = std::any_of(rest.begin(), rest.end(), [](const std::string& name) {
        RegistryNameLess less;
        auto same = [&](std::string_view other) { return !less(name, other) && !less(other, name); };
        return !same("FLAGS") && !same("HELPDIR");
    });
    if (!otherLocale) store.deleteKeyTree(version);
    std::string library = "HKEY_CLASSES_ROOT\\TypeLib\\" + attributes.libraryId;
    if (isEmptyKey(store, library)) store.deleteKeyTree(library);
    if (isEmptyKey(store, "HKEY_CLASSES_ROOT\\TypeLib")) store.deleteKeyTree("HKEY_CLASSES_ROOT\\TypeLib");
}

}  // namespace quillomar
