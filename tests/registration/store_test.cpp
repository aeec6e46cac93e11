// The registry store (keys and values, its text, how it reaches the disk), the registry script
// run over it, and the type library's block and keys.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "app/registration_script.h"
#include "app/registration_typelib.h"
#include "platform/registry.h"
#include "support.h"

namespace quillomar {
namespace {

using test::TempDir;

TEST(RegistryStore, KeysAndValuesAreFoundWithoutRegardToCase) {
    RegistryStore store;
    ASSERT_TRUE(store.setValue("HKCR\\AppID\\Quillomar.EXE", "AppID", "{X}"));
    EXPECT_TRUE(store.hasKey("HKEY_CLASSES_ROOT\\appid\\QUILLOMAR.exe"));
    EXPECT_EQ(store.value("hkcr\\APPID\\quillomar.exe", "appid"), "{X}");
    EXPECT_TRUE(store.hasKey("HKCR\\AppID"));  // parents are created
    EXPECT_EQ(store.subkeys("HKCR\\AppID"), std::vector<std::string>{"Quillomar.EXE"});
    // One key, whatever case it was written in.
    ASSERT_TRUE(store.createKey("HKCR\\APPID\\QUILLOMAR.EXE"));
    EXPECT_EQ(store.subkeys("HKCR\\AppID").size(), 1u);
}

TEST(RegistryStore, TextRoundTripKeepsQuotesBackslashesLineBreaksAndUtf8) {
    RegistryStore store;
    store.setValue("HKCR\\K", "", "plain");
    store.setValue("HKCR\\K", "quote\"name", "a \"quoted\" \\ value\nwith\ttabs\r");
    store.setValue("HKCR\\K\\Sub [x]", "path", "/home/\xc3\xa9t\xc3\xa9/Biblioth\xc3\xa8que");
    store.createKey("HKCR\\Empty");
    std::string text = store.serialize();
    RegistryStore back;
    ASSERT_TRUE(back.parse(text)) << text;
    EXPECT_EQ(back.serialize(), text);
    EXPECT_EQ(back.value("HKCR\\K", "quote\"name"), "a \"quoted\" \\ value\nwith\ttabs\r");
    EXPECT_EQ(back.value("HKCR\\K\\Sub [x]", "path"), "/home/\xc3\xa9t\xc3\xa9/Biblioth\xc3\xa8que");
    EXPECT_TRUE(back.hasKey("HKCR\\Empty"));
}

TEST(RegistryStore, MalformedTextIsRefusedAndKeepsWhatWasLoaded) {
    const char* rows[] = {
        "@=\"value before any key\"\n",
        "[HKEY_CLASSES_ROOT]\n",                         // a root alone
        "[NOT_A_ROOT\\Key]\n",
        "[HKEY_CLASSES_ROOT\\Key\n",                      // no closing bracket
        "[HKEY_CLASSES_ROOT\\Key]\n\"name\"=\"unterminated\n",
        "[HKEY_CLASSES_ROOT\\Key]\n\"name\"=\"v\" trailing\n",
        "[HKEY_CLASSES_ROOT\\Key]\n\"\"=\"empty name\"\n",
        "[HKEY_CLASSES_ROOT\\Key]\n\"name\"=dword:1\n",
        "[HKEY_CLASSES_ROOT\\Key]\n\"name\"=\"bad escape \\q\"\n",
        "[HKEY_CLASSES_ROOT\\Key]\nsomething else\n",
    };
    for (const char* text : rows) {
        RegistryStore store;
        store.setValue("HKCR\\Kept", "", "yes");
        EXPECT_FALSE(store.parse(text)) << text;
        EXPECT_EQ(store.value("HKCR\\Kept", ""), "yes") << text;
        EXPECT_FALSE(store.hasKey("HKCR\\Key")) << text;
    }
    RegistryStore store;
    EXPECT_TRUE(store.parse("; comment\r\n\r\n[HKEY_CLASSES_ROOT\\Key]\r\n@=\"crlf\"\r\n"));
    EXPECT_EQ(store.value("HKCR\\Key", ""), "crlf");
}

TEST(RegistryStore, SaveReplacesTheFileWholeAndLeavesNoTemporaryFile) {
    TempDir dir;
    std::string path = dir / "registry";
    RegistryStore store;
    store.setValue("HKCR\\AppID\\X", "", "1");
    ASSERT_EQ(store.save(path), 0);
    store.deleteKeyTree("HKCR\\AppID\\X");
    ASSERT_EQ(store.save(path), 0);
    EXPECT_EQ(test::listTree(dir.path()), std::vector<std::string>{"registry"});
    RegistryStore back;
    ASSERT_EQ(back.load(path), 0);
    EXPECT_TRUE(back.hasKey("HKCR\\AppID"));
    EXPECT_FALSE(back.hasKey("HKCR\\AppID\\X"));
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

// The registry script -----------------------------------------------------------------------------

const std::map<std::string, std::string> kAppIdReplacement{{"APPID", std::string(kAppId)}};

int runScript(std::string_view script, ScriptMode mode, RegistryStore& store) {
    return runRegistryScript(script, kAppIdReplacement, mode, store);
}

TEST(RegistryScript, UnregisteringKeepsOtherProgramsKeysAndCreatesNothing) {
    RegistryStore store;
    store.setValue("HKCR\\AppID\\{OTHER}", "", "Another program");
    ASSERT_EQ(runScript(kRegistryScript, ScriptMode::Register, store), 0);
    ASSERT_EQ(runScript(kRegistryScript, ScriptMode::Unregister, store), 0);
    EXPECT_EQ(store.subkeys("HKCR\\AppID"), std::vector<std::string>{"{OTHER}"});
    EXPECT_EQ(store.value("HKCR\\AppID\\{OTHER}", ""), "Another program");
    // Unregistering what is not there is no error and creates nothing.
    RegistryStore empty;
    ASSERT_EQ(runScript(kRegistryScript, ScriptMode::Unregister, empty), 0);
    EXPECT_TRUE(empty.empty());
}

TEST(RegistryScript, KeyWithSubkeysTheScriptDoesNotNameIsKept) {
    RegistryStore store;
    ASSERT_EQ(runScript(kRegistryScript, ScriptMode::Register, store), 0);
    store.createKey("HKCR\\AppID\\Quillomar.EXE\\Added by hand");
    ASSERT_EQ(runScript(kRegistryScript, ScriptMode::Unregister, store), 0);
    EXPECT_TRUE(store.hasKey("HKCR\\AppID\\Quillomar.EXE\\Added by hand"));
    EXPECT_FALSE(store.hasKey("HKCR\\AppID\\" + std::string(kAppId)));
}

// The type library ----------------------------------------------------------------------------------

void expectProgramLibrary(const TypeLibraryAttributes& a) {
    EXPECT_EQ(a.name, "QuillomarLib");
    EXPECT_EQ(a.helpString, "Biblioth\xc3\xa8que de types Quillomar 1.0");
    EXPECT_EQ(a.majorVersion, 1);
    EXPECT_EQ(a.minorVersion, 0);
    EXPECT_EQ(a.locale, 0x0409u);
    EXPECT_EQ(a.libraryId, "{4D0EF10D-8F87-4288-B76D-B5D56968CAA5}");
    EXPECT_EQ(a.systemKind, "linux");
}

TEST(TypeLibrary, FindsTheBlockAcrossReadBoundariesAndPastDecoys) {
    TempDir dir;
    const std::string block(typeLibraryBlock());
    const std::string signature = block.substr(0, block.find('\n') + 1);
    // A decoy signature with no valid block after it, then the real block straddling 1 MiB.
    std::string bytes = signature + "name=Decoy\nend\n";
    bytes += std::string((1u << 20) - bytes.size() - 10, '\0') + block + std::string(100, '\0');
    test::writeFile(dir / "program", bytes);
    const std::optional<TypeLibraryAttributes> found = loadTypeLibraryFile(dir / "program");
    ASSERT_TRUE(found.has_value());
    expectProgramLibrary(*found);
    // The block at the very end of a file whose size is a whole number of reads.
    std::string tail(2u << 20, 'x');
    tail.replace(tail.size() - block.size(), block.size(), block);
    test::writeFile(dir / "tail", tail);
    EXPECT_TRUE(loadTypeLibraryFile(dir / "tail").has_value());
}

TEST(TypeLibrary, RefusesTruncatedOrIncompleteBlocks) {
    TempDir dir;
    const std::string block(typeLibraryBlock());
    test::writeFile(dir / "truncated", block.substr(0, block.size() - 4));
    EXPECT_FALSE(loadTypeLibraryFile(dir / "truncated"));
    std::string noLocale = block;
    const std::size_t lcid = noLocale.find("lcid=");
    noLocale.erase(lcid, noLocale.find('\n', lcid) + 1 - lcid);
    test::writeFile(dir / "nolocale", noLocale);
    EXPECT_FALSE(loadTypeLibraryFile(dir / "nolocale"));
    EXPECT_FALSE(loadTypeLibraryFile(dir / "missing"));
}

TEST(TypeLibrary, FallbackIsTheTlbBesideTheProgram) {
    for (const auto& [program, tlb] : {std::pair{"/usr/bin/quillomar", "/usr/bin/quillomar.tlb"},
                                       {"/opt/v1.2/quillomar", "/opt/v1.2/quillomar.tlb"},
                                       {"/opt/quillomar.exe", "/opt/quillomar.tlb"},
                                       {"quillomar.bin", "quillomar.tlb"}}) {
        EXPECT_EQ(typeLibraryFallbackPath(program), tlb);
    }
    EXPECT_FALSE(loadTypeLibrary(""));
}

TEST(TypeLibrary, UnregisteringLeavesOtherLibrariesAndLocales) {
    std::optional<LoadedTypeLibrary> library = loadTypeLibrary("/proc/self/exe");
    ASSERT_TRUE(library);
    expectProgramLibrary(library->attributes);
    RegistryStore store;
    store.setValue("HKCR\\TypeLib\\{OTHER}\\2.0", "", "Other library");
    ASSERT_TRUE(registerTypeLibrary(*library, store));
    const std::string version = "HKCR\\TypeLib\\{4D0EF10D-8F87-4288-B76D-B5D56968CAA5}\\1.0";
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
