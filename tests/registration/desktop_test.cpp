// The desktop integration files: their contents, the user's copy of the desktop entry, and the
// desktop's validator over that copy (install_check.sh validates the installed files).
#include <gtest/gtest.h>

#include <cstdint>
#include <regex>

#include "app/desktopentry.h"
#include "app/embeddedfiles.h"
#include "app/registration.h"
#include "app/switchphase.h"
#include "app/version.h"
#include "platform/registry.h"
#include "support.h"

namespace quillomar {
namespace {

using test::TempDir;

const std::string kSourceData = QUILLOMAR_SOURCE_DATA;

std::string quoted(const std::string& path) { return "'" + path + "'"; }

TEST(DesktopFiles, ExecValueQuotesReservedCharactersAndEscapesForTheEntry) {
    const std::pair<const char*, const char*> rows[] = {
        {"/usr/bin/quillomar", "/usr/bin/quillomar %f"},
        {"/opt/my apps/quillomar", "\"/opt/my apps/quillomar\" %f"},
        // Inside quotes: \" \` \$ \\ at the Exec level, then each backslash doubled for the entry.
        {"/opt/a\"b`c$d\\e/q", "\"/opt/a\\\\\"b\\\\`c\\\\$d\\\\\\\\e/q\" %f"},
        {"/opt/100%/q", "/opt/100%%/q %f"},
        {"/opt/it's/q", "\"/opt/it's/q\" %f"},
        {"/home/\xc3\xa9t\xc3\xa9/q", "/home/\xc3\xa9t\xc3\xa9/q %f"},
        {"/opt/a\nb/q", "\"/opt/a\\nb/q\" %f"},
        // Not representable: invalid UTF-8 (an overlong '/' among it), control characters.
        {"/opt/\xe9t\xe9/q", ""},
        {"/opt/\xc0\xaf/q", ""},
        {"/opt/a\x01"
         "b/q",
         ""},
    };
    for (const auto& [program, exec] : rows) EXPECT_EQ(desktopExecValue(program), exec) << program;
}

TEST(DesktopFiles, EntryStartsTheProgramByItsPath) {
    const std::string entry = desktopEntry("/opt/my apps/quillomar");
    EXPECT_NE(entry.find("\nExec=\"/opt/my apps/quillomar\" %f\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nTryExec=/opt/my apps/quillomar\n"), std::string::npos) << entry;
    // Everything else is the text in the data folder.
    std::string installed = test::readFile(kSourceData + "/quillomar.desktop");
    EXPECT_NE(installed.find("\nExec=quillomar %f\n"), std::string::npos);
    auto withoutExec = [](std::string text) { return std::regex_replace(text, std::regex("\n(Try)?Exec=[^\n]*"), ""); };
    EXPECT_EQ(withoutExec(entry), withoutExec(installed));
    EXPECT_EQ(desktopEntry("/opt/\xe9t\xe9/q"), "");  // no entry can name a path that is not UTF-8
}

TEST(DesktopFiles, BuiltInFilesAreTheDataFolderFilesAndIconsArePngsOfTheirSize) {
    for (const auto& [name, file] : {std::pair{"quillomar.desktop", "quillomar.desktop"},
                                     {"quillomar-mime.xml", "quillomar-mime.xml"},
                                     {"org.quillomar.quillomar.metainfo.xml", "org.quillomar.quillomar.metainfo.xml"},
                                     {"quillomar.svg", "icons/quillomar.svg"}}) {
        EXPECT_EQ(std::string(embeddedFile(name)), test::readFile(kSourceData + "/" + file)) << name;
    }
    EXPECT_TRUE(embeddedFile("no-such-file").empty());
    for (const int size : kIconSizes) {
        const std::string_view png = embeddedFile("quillomar-" + std::to_string(size) + ".png");
        ASSERT_GT(png.size(), 24u) << size;
        EXPECT_EQ(png.substr(0, 16), std::string_view("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16));
        auto be32 = [&](std::size_t at) {
            std::uint32_t value = 0;
            for (std::size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(png[at + i]);
            return value;
        };
        EXPECT_EQ(be32(16), static_cast<std::uint32_t>(size));  // width
        EXPECT_EQ(be32(20), static_cast<std::uint32_t>(size));  // height
    }
}

TEST(DesktopFiles, EntryMimeTypeAndMetainfoAgree) {
    const std::pair<const char*, const char*> rows[] = {
        {"quillomar.desktop", "\nMimeType=application/x-pod-archive;\n"},
        {"quillomar.desktop", "\nIcon=quillomar\n"},
        {"quillomar-mime.xml", "<mime-type type=\"application/x-pod-archive\">"},
        {"quillomar-mime.xml", "<glob pattern=\"*.pod\"/>"},
        {"quillomar-mime.xml", "<match type=\"string\" value=\"POD2\" offset=\"0\"/>"},
        {"quillomar-mime.xml", "<match type=\"string\" value=\"POD3\" offset=\"0\"/>"},
        {"org.quillomar.quillomar.metainfo.xml", "<launchable type=\"desktop-id\">quillomar.desktop</launchable>"},
        {"org.quillomar.quillomar.metainfo.xml", "<mediatype>application/x-pod-archive</mediatype>"},
    };
    for (const auto& [file, text] : rows) {
        EXPECT_NE(test::readFile(kSourceData + "/" + file).find(text), std::string::npos) << file << ": " << text;
    }
    // The version record.
    EXPECT_NE(test::readFile(kSourceData + "/org.quillomar.quillomar.metainfo.xml")
                  .find("<release version=\"" + std::string(version::kFileVersion) + "\""),
              std::string::npos);
}

TEST(DesktopFiles, RegisteringAndUnregisteringLeaveTheDataFolderAsItWas) {
    test::Sandbox box;
    const std::string data = box.dir / "data";
    test::writeFile(data + "/applications/other.desktop", "[Desktop Entry]\n");
    test::writeFile(data + "/mime/packages/other.xml", "<mime-info/>\n");
    ServerModule module(box.setup());
    ASSERT_EQ(runSwitchPhase("quillomar -RegServer", module), 0);
    std::vector<std::string> expected = test::kDesktopFiles;
    expected.insert(expected.begin(), "applications/other.desktop");
    expected.insert(expected.end() - 1, "mime/packages/other.xml");
    EXPECT_EQ(test::listTree(data, true), expected);
    ASSERT_EQ(runSwitchPhase("quillomar -UnregServer", module), 0);
    EXPECT_EQ(test::listTree(data), (std::vector<std::string>{"applications", "applications/other.desktop", "mime",
                                                              "mime/packages", "mime/packages/other.xml"}));
}

TEST(DesktopFiles, FailedInstallRemovesWhatItWrote) {
    test::Sandbox box;
    const std::string data = box.dir / "data";
    test::writeFile(data + "/applications", "a file where a folder belongs");
    ServerModule module(box.setup());
    EXPECT_EQ(runSwitchPhase("quillomar -RegServer", module), status::fromErrno(ENOTDIR));
    EXPECT_EQ(test::listTree(data), std::vector<std::string>{"applications"});
    // The identity's keys were written before its desktop files failed; the type library's step
    // did not run.
    RegistryStore store;
    ASSERT_FALSE(store.load(box.dir / "config/quillomar/registry").failed());
    EXPECT_TRUE(store.hasKey("AppID\\Quillomar.EXE"));
    EXPECT_FALSE(store.hasKey("TypeLib"));

    RegistrationSetup setup = box.setup();
    setup.dataHome = box.dir / "data2";
    setup.programPath = box.dir / "bin/\xff";  // not UTF-8: no desktop entry can name it
    test::writeFile(setup.programPath, "");
    ServerModule invalid(setup);
    EXPECT_EQ(runSwitchPhase("quillomar -RegServer", invalid), status::fromErrno(EILSEQ));
    EXPECT_FALSE(test::exists(box.dir / "data2"));
}

TEST(DesktopValidators, UserCopiesPassDesktopFileValidate) {
    if (!test::haveTool("desktop-file-validate")) GTEST_SKIP() << "desktop-file-validate is not installed";
    std::string output;
    TempDir dir;
    for (const char* program : {"/usr/bin/quillomar", "/opt/my \"apps\" $HOME/100%/quillomar"}) {
        const std::string entry = dir / "quillomar.desktop";
        test::writeFile(entry, desktopEntry(program));
        EXPECT_EQ(test::runCommand("desktop-file-validate " + quoted(entry), &output), 0) << program << "\n" << output;
    }
}

}  // namespace
}  // namespace quillomar
