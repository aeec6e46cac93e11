#pragma once
// The program's type library: it describes no types, only the library itself. It is stored as a
// small text block inside the program's own file (and can be put in a ".tlb" file of the same
// text beside the program); loading it means finding and reading that block.
//
// Registered, it gives under HKEY_CLASSES_ROOT\TypeLib\{library id}:
//     1.0                  default value: the help string; "Name": the library name
//     1.0\409\linux        default value: the full path the library was loaded from
//     1.0\FLAGS            default value: "0"
//     1.0\HELPDIR          default value: the folder of that path

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace quillomar {

struct TypeLibraryAttributes {
    std::string name;
    std::string helpString;
    std::string libraryId;
    std::uint16_t majorVersion = 0;
    std::uint16_t minorVersion = 0;
    std::uint32_t locale = 0;
    std::string systemKind;
};

struct LoadedTypeLibrary {
    TypeLibraryAttributes attributes;
    std::string path;  // the file it was loaded from
};

// The block as the program stores it.
std::string_view typeLibraryBlock();

// Reads the library from the first well-formed block in the file; nullopt when there is none or
// the file cannot be read.
std::optional<TypeLibraryAttributes> loadTypeLibraryFile(const std::string& path);

// The path with its extension (in the last part of the path only) replaced by ".tlb".
std::string typeLibraryFallbackPath(const std::string& programPath);

// Loads from the program's file, else from the ".tlb" beside it.
std::optional<LoadedTypeLibrary> loadTypeLibrary(const std::string& programPath);

// The key of the library's version: HKEY_CLASSES_ROOT\TypeLib\{id}\major.minor.
std::string typeLibraryVersionKey(const TypeLibraryAttributes& attributes);

// Writes the library's keys into the store; false for a path or attribute the store cannot hold.
bool registerTypeLibrary(const LoadedTypeLibrary& library, RegistryStore& store);

// Removes the keys of this library, version, locale and system kind, then each parent key that
// is left empty (the version, the library id, TypeLib itself). A library that is not registered
// leaves the store as it is.
void unregisterTypeLibrary(const TypeLibraryAttributes& attributes, RegistryStore& store);

}  // namespace quillomar
