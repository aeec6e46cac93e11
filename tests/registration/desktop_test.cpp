// The desktop integration files: their contents, the user's copy of the desktop entry, and the
// desktop's validator over that copy (install_check.sh validates the installed files).
#include <gtest/gtest.h>

#include <cstdint>
#include <regex>

#include "app/registration_desktop.h"
#include "app/registration_files.h"
#include "app/version.h"
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
        {"/opt/a\x01" "b/q", ""},
    };
    for (const auto& [program, exec] : rows) EXPECT_EQ(desktopExecValue(program), exec) << program;
}

TEST(DesktopFiles, UserCopyStartsTheProgramByItsPath) {
    std::vector<DesktopFile> files = desktopFiles("/opt/my apps/quillomar");
    ASSERT_FALSE(files.empty());
    EXPECT_EQ(files.back().relativePath, "applications/quillomar.desktop");  // installed last
    const std::string& entry = files.back().contents;
    EXPECT_NE(entry.find("\nExec=\"/opt/my apps/quillomar\" %f\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nTryExec=/opt/my apps/quillomar\n"), std::string::npos) << entry;
    // Everything else is the installed entry's text.
    std::string installed = test::readFile(kSourceData + "/quillomar.desktop");
    EXPECT_NE(installed.find("\nExec=quillomar %f\n"), std::string::npos);
    auto withoutExec = [](std::string text) {
        return std::regex_replace(text, std::regex("\n(Try)?Exec=[^\n]*"), "");
    };
    EXPECT_EQ(withoutExec(entry), withoutExec(installed));
}

TEST(DesktopFiles, BuiltInFilesAreTheDataFolderFilesAndIconsArePngsOfTheirSize) {
    for (const auto& [name, file] : {std::pair{"quillomar.desktop", "quillomar.desktop"},
                                     {"quillomar-mime.xml", "quillomar-mime.xml"},
                                     {"org.quillomar.quillomar.metainfo.xml", "org.quillomar.quillomar.metainfo.xml"},
                                     {"quillomar.svg", "icons/quillomar.svg"}}) {
        EXPECT_EQ(std::string(embeddedFile(name)), test::readFile(kSourceData + "/" + file)) << name;
    }
    EXPECT_TRUE(embeddedFile("no-such-file").empty());
    for (std::uint32_t size : {16u, 32u, 48u, 256u}) {
        const std::string_view png = embeddedFile("quillomar-" + std::to_string(size) + ".png");
        ASSERT_GT(png.size(), 24u) << size;
        EXPECT_EQ(png.substr(0, 16), std::string_view("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16));
        auto be32 = [&](std::size_t at) {
            std::uint32_t value = 0;
            for (std::size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(png[at + i]);
            return value;
        };
        EXPECT_EQ(be32(16), size);  // width
        EXPECT_EQ(be32(20), size);  // height
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

TEST(DesktopFiles, InstallAndRemoveLeaveTheDataFolderAsItWas) {
    TempDir dir;
    std::string data = dir / "data";
    test::writeFile(data + "/applications/other.desktop", "[Desktop Entry]\n");
    ASSERT_EQ(installDesktopFiles(data, "/usr/bin/quillomar"), 0);
    std::vector<std::string> expected = test::kDesktopFiles;
    expected.insert(expected.begin(), "applications/other.desktop");
    EXPECT_EQ(test::listTree(data, true), expected);
    ASSERT_EQ(removeDesktopFiles(data), 0);
    EXPECT_EQ(test::listTree(data), (std::vector<std::string>{"applications", "applications/other.desktop"}));
    ASSERT_EQ(removeDesktopFiles(data), 0);  // already gone: no error
}

TEST(DesktopFiles, FailedInstallRemovesWhatItWrote) {
    TempDir dir;
    std::string data = dir / "data";
    test::writeFile(data + "/applications", "a file where a folder belongs");
    EXPECT_EQ(installDesktopFiles(data, "/usr/bin/quillomar"), ENOTDIR);
    EXPECT_EQ(test::listTree(data), std::vector<std::string>{"applications"});
    EXPECT_EQ(installDesktopFiles(dir / "data2", "/opt/\xff/q"), EILSEQ);
    EXPECT_FALSE(test::exists(dir / "data2"));
}

TEST(DesktopValidators, UserCopiesPassDesktopFileValidate) {
    if (!test::haveTool("desktop-file-validate")) GTEST_SKIP() << "desktop-file-validate is not installed";
    std::string output;
    TempDir dir;
    for (const char* program : {"/usr/bin/quillomar", "/opt/my \"apps\" $HOME/100%/quillomar"}) {
        std::string data = dir / "data";
        ASSERT_EQ(installDesktopFiles(data, program), 0);
        EXPECT_EQ(test::runCommand("desktop-file-validate " + quoted(data + "/applications/quillomar.desktop"), &output), 0)
            << program << "\n" << output;
        removeDesktopFiles(data);
    }
}

}  // namespace
}  // namespace quillomar
