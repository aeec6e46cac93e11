// The registry store: keys and values, its text, how it reaches the disk; and what registering
// and unregistering do to keys that other programs keep there.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "app/switchphase.h"
#include "platform/registry.h"
#include "support.h"

namespace quillomar {
namespace {

using test::TempDir;

TEST(RegistryStore, KeysAndValuesAreFoundWithoutRegardToCase) {
    RegistryStore store;
    ASSERT_TRUE(store.setValue("AppID\\Quillomar.EXE", "AppID", "{X}"));
    EXPECT_TRUE(store.hasKey("appid\\QUILLOMAR.exe"));
    EXPECT_EQ(store.value("APPID\\quillomar.exe", "appid"), "{X}");
    EXPECT_TRUE(store.hasSubkeys("AppID"));  // parents are created
    EXPECT_FALSE(store.hasSubkeys("AppID\\Quillomar.EXE"));
    // One key, whatever case it was written in; it keeps the case it was first written in.
    ASSERT_TRUE(store.createKey("APPID\\QUILLOMAR.EXE\\Sub"));
    EXPECT_EQ(store.serialize(),
              "; Quillomar registry store\n\n[HKEY_CLASSES_ROOT\\AppID]\n\n[HKEY_CLASSES_ROOT\\AppID\\Quillomar.EXE]\n"
              "\"AppID\"=\"{X}\"\n\n[HKEY_CLASSES_ROOT\\AppID\\Quillomar.EXE\\Sub]\n");
    // Deleting a key takes its subtree and nothing that merely shares its name's beginning.
    store.createKey("AppID\\Quillomar.EXE2");
    store.deleteKey("appid\\quillomar.exe");
    EXPECT_FALSE(store.hasKey("AppID\\Quillomar.EXE\\Sub"));
    EXPECT_TRUE(store.hasKey("AppID\\Quillomar.EXE2"));
    for (const char* invalid : {"", "\\AppID", "AppID\\", "AppID\\\\X", "App\nID"}) {
        EXPECT_FALSE(store.createKey(invalid)) << invalid;
    }
}

TEST(RegistryStore, KeysAreListedParentsFirstSiblingsByNameWithoutCase) {
    RegistryStore store;
    for (const char* key : {"b", "A B", "a\\z", "A\\y", "a[", "TypeLib\\1.0\\HELPDIR", "TypeLib\\1.0\\409"}) {
        store.createKey(key);
    }
    std::string order;
    std::string text = store.serialize();
    for (std::size_t at = text.find("\n["); at != std::string::npos; at = text.find("\n[", at + 1)) {
        order += text.substr(at + 20, text.find(']', at) - at - 20) + " | ";
    }
    EXPECT_EQ(order,
              "a | a\\y | a\\z | A B | a[ | b | TypeLib | TypeLib\\1.0 | TypeLib\\1.0\\409 | TypeLib\\1.0\\HELPDIR | ");
}

TEST(RegistryStore, TextRoundTripKeepsQuotesBackslashesLineBreaksAndUtf8) {
    RegistryStore store;
    store.setValue("K", "", "plain");
    store.setValue("K", "quote\"name", "a \"quoted\" \\ value\nwith\ttabs\r");
    store.setValue("K\\Sub [x]", "path", "/home/\xc3\xa9t\xc3\xa9/Biblioth\xc3\xa8que");
    store.createKey("Empty");
    std::string text = store.serialize();
    RegistryStore back;
    ASSERT_TRUE(back.parse(text)) << text;
    EXPECT_EQ(back.serialize(), text);
    EXPECT_EQ(back.value("K", "quote\"name"), "a \"quoted\" \\ value\nwith\ttabs\r");
    EXPECT_EQ(back.value("K\\Sub [x]", "path"), "/home/\xc3\xa9t\xc3\xa9/Biblioth\xc3\xa8que");
    EXPECT_TRUE(back.hasKey("Empty"));
}

TEST(RegistryStore, MalformedTextIsRefusedAndKeepsWhatWasLoaded) {
    const char* rows[] = {
        "@=\"value before any key\"\n",
        "[HKEY_CLASSES_ROOT]\n",  // a root alone
        "[NOT_A_ROOT\\Key]\n",
        "[HKEY_CURRENT_USER\\Key]\n",  // the store keeps one root
        "[HKEY_CLASSES_ROOT\\Key\\\\Sub]\n",
        "[HKEY_CLASSES_ROOT\\Key\n",  // no closing bracket
        "[HKEY_CLASSES_ROOT\\Key]\n\"name\"=\"unterminated\n",
        "[HKEY_CLASSES_ROOT\\Key]\n\"name\"=\"v\" trailing\n",
        "[HKEY_CLASSES_ROOT\\Key]\n\"\"=\"empty name\"\n",
        "[HKEY_CLASSES_ROOT\\Key]\n\"name\"=dword:1\n",
        "[HKEY_CLASSES_ROOT\\Key]\n\"name\"=\"bad escape \\q\"\n",
        "[HKEY_CLASSES_ROOT\\Key]\nsomething else\n",
    };
    for (const char* text : rows) {
        RegistryStore store;
        store.setValue("Kept", "", "yes");
        EXPECT_FALSE(store.parse(text)) << text;
        EXPECT_EQ(store.value("Kept", ""), "yes") << text;
        EXPECT_FALSE(store.hasKey("Key")) << text;
    }
    RegistryStore store;
    EXPECT_TRUE(store.parse("; comment\r\n\r\n[HKEY_CLASSES_ROOT\\Key]\r\n@=\"crlf\"\r\n"));
    EXPECT_EQ(store.value("Key", ""), "crlf");
}

TEST(RegistryStore, SaveReplacesTheFileWholeAndLeavesNoTemporaryFile) {
    TempDir dir;
    std::string path = dir / "registry";
    RegistryStore store;
    store.setValue("AppID\\X", "", "1");
    ASSERT_FALSE(store.save(path).failed());
    store.deleteKey("AppID\\X");
    ASSERT_FALSE(store.save(path).failed());
    EXPECT_EQ(test::listTree(dir.path()), std::vector<std::string>{"registry"});
    RegistryStore back;
    ASSERT_FALSE(back.load(path).failed());
    EXPECT_TRUE(back.hasKey("AppID"));
    EXPECT_FALSE(back.hasKey("AppID\\X"));
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

// A missing store is an empty one; a file that is not a store is refused, naming it.
TEST(RegistryStore, LoadTellsAMissingStoreFromAForeignFile) {
    TempDir dir;
    const std::string path = dir / "registry";
    RegistryStore store;
    store.setValue("AppID\\X", "", "1");
    EXPECT_FALSE(store.load(path).failed());
    EXPECT_FALSE(store.hasKey("AppID"));
    test::writeFile(path, "not a store\n");
    const Failure refused = store.load(path);
    EXPECT_EQ(refused.error, EBADMSG);
    EXPECT_EQ(refused.path, path);
}

// Registering over a store that other programs share ----------------------------------------------

TEST(RegistryValues, UnregisteringKeepsOtherProgramsKeysAndKeysAddedBeneathOurs) {
    test::Sandbox box;
    ServerModule module(box.setup());
    const std::string path = box.dir / "config/quillomar/registry";
    RegistryStore store;
    store.setValue("AppID\\{OTHER}", "", "Another program");
    store.setValue("TypeLib\\{OTHER}\\2.0", "", "Other library");
    test::writeFile(path, store.serialize());
    ASSERT_EQ(runSwitchPhase("quillomar -RegServer", module), 0);
    ASSERT_FALSE(store.load(path).failed());
    store.createKey("AppID\\Quillomar.EXE\\Added by hand");
    ASSERT_FALSE(store.save(path).failed());

    ASSERT_EQ(runSwitchPhase("quillomar -UnregServer", module), 0);
    ASSERT_FALSE(store.load(path).failed());
    EXPECT_EQ(store.value("AppID\\{OTHER}", ""), "Another program");
    EXPECT_EQ(store.value("TypeLib\\{OTHER}\\2.0", ""), "Other library");
    EXPECT_FALSE(store.hasKey("AppID\\" + std::string(kAppId)));
    EXPECT_FALSE(store.hasKey("TypeLib\\{4D0EF10D-8F87-4288-B76D-B5D56968CAA5}"));
    // A key holding something this program did not write stays, with what it holds.
    EXPECT_TRUE(store.hasKey("AppID\\Quillomar.EXE\\Added by hand"));
    EXPECT_EQ(store.value("AppID\\Quillomar.EXE", "AppID"), std::string(kAppId));
}

}  // namespace
}  // namespace quillomar
