// The registry store: keys and values, its text, and how it reaches the disk.
#include <gtest/gtest.h>

#include <sys/stat.h>

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

TEST(RegistryStore, RefusesPathsWithoutRootOrWithEmptyOrControlParts) {
    RegistryStore store;
    EXPECT_FALSE(store.createKey("AppID\\X"));
    EXPECT_FALSE(store.createKey("HKCR\\\\X"));
    EXPECT_FALSE(store.createKey("HKCR\\X\\"));
    EXPECT_FALSE(store.createKey("HKCR\\A\nB"));
    EXPECT_FALSE(store.createKey(""));
    EXPECT_TRUE(store.empty());
    // A root is never deleted; its keys are.
    ASSERT_TRUE(store.createKey("HKCR\\AppID"));
    EXPECT_FALSE(store.deleteKeyTree("HKCR"));
    EXPECT_TRUE(store.deleteKeyTree("HKCR\\AppID"));
    EXPECT_TRUE(store.empty());
}

TEST(RegistryStore, DeletingAKeyTakesEverythingBeneathIt) {
    RegistryStore store;
    store.setValue("HKCR\\A\\B\\C", "v", "1");
    store.setValue("HKCR\\A\\D", "", "2");
    store.setValue("HKCR\\E", "", "3");
    EXPECT_TRUE(store.deleteKeyTree("HKCR\\a"));
    EXPECT_FALSE(store.hasKey("HKCR\\A\\B\\C"));
    EXPECT_FALSE(store.deleteKeyTree("HKCR\\A"));
    EXPECT_EQ(store.value("HKCR\\E", ""), "3");
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

TEST(RegistryStore, LoadReportsMissingDamagedAndUnreadableFiles) {
    TempDir dir;
    RegistryStore store;
    store.setValue("HKCR\\Old", "", "1");
    EXPECT_EQ(store.load(dir / "missing"), 0);  // no file: an empty store
    EXPECT_TRUE(store.empty());
    test::writeFile(dir / "damaged", "[HKEY_CLASSES_ROOT\\K]\ngarbage\n");
    EXPECT_EQ(store.load(dir / "damaged"), EBADMSG);
    EXPECT_EQ(store.load(dir.path()), EISDIR);
    EXPECT_EQ(store.save(dir / "no-such-folder/registry"), ENOENT);
    EXPECT_FALSE(test::exists(dir / "no-such-folder"));
}

TEST(RegistryStore, CreateFoldersMakesMissingParentsAndRefusesAFileInTheWay) {
    TempDir dir;
    EXPECT_EQ(createFolders(dir / "a/b/c", 0700), 0);
    EXPECT_EQ(createFolders(dir / "a/b/c", 0700), 0);
    test::writeFile(dir / "file", "x");
    EXPECT_EQ(createFolders(dir / "file", 0700), ENOTDIR);
    EXPECT_EQ(createFolders(dir / "file/sub", 0700), ENOTDIR);
}

}  // namespace
}  // namespace quillomar
