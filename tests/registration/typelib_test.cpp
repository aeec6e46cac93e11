// The type library: finding it in a program file or a .tlb, and its keys in the store.
#include <gtest/gtest.h>

#include "app/registration_typelib.h"
#include "support.h"

namespace quillomar {
namespace {

using test::TempDir;

void expectProgramLibrary(const TypeLibraryAttributes& a) {
    EXPECT_EQ(a.name, "QuillomarLib");
    EXPECT_EQ(a.helpString, "Biblioth\xc3\xa8que de types Quillomar 1.0");
    EXPECT_EQ(a.majorVersion, 1);
    EXPECT_EQ(a.minorVersion, 0);
    EXPECT_EQ(a.locale, 0x0409u);
    EXPECT_EQ(a.libraryId, "{4D0EF10D-8F87-4288-B76D-B5D56968CAA5}");
    EXPECT_EQ(a.systemKind, "linux");
}

TEST(TypeLibrary, LoadsFromTheProgramsOwnFile) {
    std::optional<LoadedTypeLibrary> library = loadTypeLibrary("/proc/self/exe");
    ASSERT_TRUE(library.has_value());
    EXPECT_EQ(library->path, "/proc/self/exe");
    expectProgramLibrary(library->attributes);
}

TEST(TypeLibrary, FindsTheBlockAcrossReadBoundariesAndPastDecoys) {
    TempDir dir;
    std::string block(typeLibraryBlock());
    std::string signature = block.substr(0, block.find('\n') + 1);
    // A decoy signature with no valid block after it, then the real block straddling 1 MiB.
    std::string bytes = signature + "name=Decoy\nend\n";
    bytes += std::string((1u << 20) - bytes.size() - 10, '\0');
    bytes += block + std::string(100, '\0');
    test::writeFile(dir / "program", bytes);
    std::optional<TypeLibraryAttributes> found = loadTypeLibraryFile(dir / "program");
    ASSERT_TRUE(found.has_value());
    expectProgramLibrary(*found);
    // Block at the very end of a file whose size is a whole number of reads.
    std::string tail(2u << 20, 'x');
    tail.replace(tail.size() - block.size(), block.size(), block);
    test::writeFile(dir / "tail", tail);
    EXPECT_TRUE(loadTypeLibraryFile(dir / "tail").has_value());
}

TEST(TypeLibrary, RefusesTruncatedOrIncompleteBlocks) {
    TempDir dir;
    std::string block(typeLibraryBlock());
    test::writeFile(dir / "truncated", block.substr(0, block.size() - 4));
    EXPECT_FALSE(loadTypeLibraryFile(dir / "truncated"));
    std::string noLocale = block;
    noLocale.erase(noLocale.find("lcid="), noLocale.find('\n', noLocale.find("lcid=")) + 1 - noLocale.find("lcid="));
    test::writeFile(dir / "nolocale", noLocale);
    EXPECT_FALSE(loadTypeLibraryFile(dir / "nolocale"));
    EXPECT_FALSE(loadTypeLibraryFile(dir / "missing"));
}

TEST(TypeLibrary, FallsBackToTheTlbBesideTheProgram) {
    EXPECT_EQ(typeLibraryFallbackPath("/usr/bin/quillomar"), "/usr/bin/quillomar.tlb");
    EXPECT_EQ(typeLibraryFallbackPath("/opt/v1.2/quillomar"), "/opt/v1.2/quillomar.tlb");
    EXPECT_EQ(typeLibraryFallbackPath("/opt/quillomar.exe"), "/opt/quillomar.tlb");
    EXPECT_EQ(typeLibraryFallbackPath("quillomar.bin"), "quillomar.tlb");

    TempDir dir;
    test::writeFile(dir / "prog.bin", "no library here");
    EXPECT_FALSE(loadTypeLibrary(dir / "prog.bin"));
    test::writeFile(dir / "prog.tlb", std::string(typeLibraryBlock()));
    std::optional<LoadedTypeLibrary> library = loadTypeLibrary(dir / "prog.bin");
    ASSERT_TRUE(library.has_value());
    EXPECT_EQ(library->path, dir / "prog.tlb");
    EXPECT_FALSE(loadTypeLibrary(""));
}

TEST(TypeLibrary, RegisterThenUnregisterLeavesOtherLibrariesAndLocales) {
    std::optional<LoadedTypeLibrary> library = loadTypeLibrary("/proc/self/exe");
    ASSERT_TRUE(library);
    library->path = "/opt/q/quillomar";
    RegistryStore store;
    store.setValue("HKCR\\TypeLib\\{OTHER}\\2.0", "", "Other library");
    ASSERT_TRUE(registerTypeLibrary(*library, store));
    std::string version = "HKCR\\TypeLib\\{4D0EF10D-8F87-4288-B76D-B5D56968CAA5}\\1.0";
    EXPECT_EQ(store.value(version, ""), "Biblioth\xc3\xa8que de types Quillomar 1.0");
    EXPECT_EQ(store.value(version, "Name"), "QuillomarLib");
    EXPECT_EQ(store.value(version + "\\409\\linux", ""), "/opt/q/quillomar");
    EXPECT_EQ(store.value(version + "\\FLAGS", ""), "0");
    EXPECT_EQ(store.value(version + "\\HELPDIR", ""), "/opt/q");

    // Another locale of the same version keeps the version key.
    store.setValue(version + "\\40c\\linux", "", "/opt/q/fr");
    unregisterTypeLibrary(library->attributes, store);
    EXPECT_FALSE(store.hasKey(version + "\\409"));
    EXPECT_TRUE(store.hasKey(version + "\\40c\\linux"));
    store.deleteKeyTree(version + "\\40c");
    unregisterTypeLibrary(library->attributes, store);  // the locale is gone: nothing happens
    EXPECT_TRUE(store.hasKey(version));
    store.setValue(version + "\\409\\linux", "", "/opt/q/quillomar");
    unregisterTypeLibrary(library->attributes, store);
    EXPECT_FALSE(store.hasKey("HKCR\\TypeLib\\{4D0EF10D-8F87-4288-B76D-B5D56968CAA5}"));
    EXPECT_EQ(store.subkeys("HKCR\\TypeLib"), std::vector<std::string>{"{OTHER}"});
}

}  // namespace
}  // namespace quillomar
