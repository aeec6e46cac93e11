// The registry script: what the program's own script writes and removes, and scripts it refuses.
#include <gtest/gtest.h>

#include "app/registration.h"
#include "app/registration_script.h"

namespace quillomar {
namespace {

const std::map<std::string, std::string> kAppIdReplacement{{"APPID", std::string(kAppId)}};

TEST(RegistryScript, RegisteringWritesTheApplicationIdentity) {
    RegistryStore store;
    ASSERT_EQ(runRegistryScript(kRegistryScript, kAppIdReplacement, ScriptMode::Register, store), 0);
    EXPECT_EQ(store.serialize(),
              "; Quillomar registry store\n"
              "\n[HKEY_CLASSES_ROOT\\AppID]\n"
              "\n[HKEY_CLASSES_ROOT\\AppID\\Quillomar.EXE]\n"
              "\"AppID\"=\"{E1111D62-1426-4F18-9D1C-996D52361E8B}\"\n"
              "\n[HKEY_CLASSES_ROOT\\AppID\\{E1111D62-1426-4F18-9D1C-996D52361E8B}]\n"
              "@=\"Quillomar\"\n");
    // Registering again changes nothing.
    std::string once = store.serialize();
    ASSERT_EQ(runRegistryScript(kRegistryScript, kAppIdReplacement, ScriptMode::Register, store), 0);
    EXPECT_EQ(store.serialize(), once);
}

TEST(RegistryScript, UnregisteringKeepsTheAppIdKeyAndOtherProgramsKeys) {
    RegistryStore store;
    store.setValue("HKCR\\AppID\\{OTHER}", "", "Another program");
    ASSERT_EQ(runRegistryScript(kRegistryScript, kAppIdReplacement, ScriptMode::Register, store), 0);
    ASSERT_EQ(runRegistryScript(kRegistryScript, kAppIdReplacement, ScriptMode::Unregister, store), 0);
    EXPECT_EQ(store.subkeys("HKCR\\AppID"), std::vector<std::string>{"{OTHER}"});
    EXPECT_EQ(store.value("HKCR\\AppID\\{OTHER}", ""), "Another program");

    RegistryStore alone;
    ASSERT_EQ(runRegistryScript(kRegistryScript, kAppIdReplacement, ScriptMode::Register, alone), 0);
    ASSERT_EQ(runRegistryScript(kRegistryScript, kAppIdReplacement, ScriptMode::Unregister, alone), 0);
    EXPECT_TRUE(alone.hasKey("HKCR\\AppID"));
    EXPECT_TRUE(alone.subkeys("HKCR\\AppID").empty());
    // Unregistering what is not there is no error and creates nothing.
    RegistryStore empty;
    ASSERT_EQ(runRegistryScript(kRegistryScript, kAppIdReplacement, ScriptMode::Unregister, empty), 0);
    EXPECT_TRUE(empty.empty());
    EXPECT_FALSE(empty.hasKey("HKCR\\AppID"));
}

TEST(RegistryScript, KeyWithSubkeysTheScriptDoesNotNameIsKept) {
    RegistryStore store;
    ASSERT_EQ(runRegistryScript(kRegistryScript, kAppIdReplacement, ScriptMode::Register, store), 0);
    store.createKey("HKCR\\AppID\\Quillomar.EXE\\Added by hand");
    ASSERT_EQ(runRegistryScript(kRegistryScript, kAppIdReplacement, ScriptMode::Unregister, store), 0);
    EXPECT_TRUE(store.hasKey("HKCR\\AppID\\Quillomar.EXE\\Added by hand"));
    EXPECT_FALSE(store.hasKey("HKCR\\AppID\\" + std::string(kAppId)));
}

TEST(RegistryScript, ForceRemoveAndDeleteFlags) {
    RegistryStore store;
    store.setValue("HKCR\\Fresh\\Stale", "", "old");
    store.setValue("HKCR\\Gone", "", "old");
    const char* script =
        "HKCR {\n"
        "  ForceRemove Fresh = s 'new' { val 'It''s' = s '100%%' }\n"
        "  Delete Gone\n"
        "}\n";
    ASSERT_EQ(runRegistryScript(script, {}, ScriptMode::Register, store), 0);
    EXPECT_FALSE(store.hasKey("HKCR\\Fresh\\Stale"));
    EXPECT_EQ(store.value("HKCR\\Fresh", ""), "new");
    EXPECT_EQ(store.value("HKCR\\Fresh", "It's"), "100%");
    EXPECT_FALSE(store.hasKey("HKCR\\Gone"));
    store.createKey("HKCR\\Fresh\\Child");
    ASSERT_EQ(runRegistryScript(script, {}, ScriptMode::Unregister, store), 0);
    EXPECT_FALSE(store.hasKey("HKCR\\Fresh"));  // ForceRemove takes it whole
}

TEST(RegistryScript, UnreadableScriptsChangeNothing) {
    const char* rows[] = {
        "HKCR { '%UNKNOWN%' = s 'x' }",  // no such replacement
        "HKCR { '%APPID = s 'x' }",      // unterminated replacement
        "HKCR { 'unterminated = s 'x' }",
        "HKCR { Key = s 'x' ",          // no closing brace
        "HKCR { Key = d '1' }",         // only string values exist
        "HKXX { Key }",                 // unknown root
        "HKCR { Key { val = s 'x' } }",
        "HKCR { NoRemove }",
        "HKCR { 'A\\B' }",              // a separator inside a name
        "HKCR { Key } }",
    };
    for (const char* script : rows) {
        RegistryStore store;
        store.setValue("HKCR\\Before", "", "1");
        std::string before = store.serialize();
        EXPECT_EQ(runRegistryScript(script, kAppIdReplacement, ScriptMode::Register, store), status::kScriptError)
            << script;
        EXPECT_EQ(store.serialize(), before) << script;
    }
}

}  // namespace
}  // namespace quillomar
