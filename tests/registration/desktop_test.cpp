// The desktop integration files: their contents, the user's copy of the desktop entry, and the
// desktop's own validators over them when those tools are installed.
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
    EXPECT_EQ(desktopExecValue("/usr/bin/quillomar"), "/usr/bin/quillomar %f");
    EXPECT_EQ(desktopExecValue("/opt/my apps/quillomar"), "\"/opt/my apps/quillomar\" %f");
    // Inside quotes: \" \` \$ \\ at the Exec level, then each backslash doubled for the entry.
    EXPECT_EQ(desktopExecValue("/opt/a\"b`c$d\\e/q"), "\"/opt/a\\\\\"b\\\\`c\\\\$d\\\\\\\\e/q\" %f");
    EXPECT_EQ(desktopExecValue("/opt/100%/q"), "/opt/100%%/q %f");
    EXPECT_EQ(desktopExecValue("/opt/it's/q"), "\"/opt/it's/q\" %f");
    EXPECT_EQ(desktopExecValue("/home/\xc3\xa9t\xc3\xa9/q"), "/home/\xc3\xa9t\xc3\xa9/q %f");
    EXPECT_EQ(desktopExecValue("/opt/a\nb/q"), "\"/opt/a\\nb/q\" %f");
    // Not representable: invalid UTF-8, control characters.
    EXPECT_EQ(desktopExecValue("/opt/\xe9t\xe9/q"), "");
    EXPECT_EQ(desktopExecValue("/opt/\xc0\xaf/q"), "");  // overlong '/'
    EXPECT_EQ(desktopExecValue("/opt/a\x01" "b/q"), "");
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

TEST(DesktopFiles, BuiltInFilesAreTheFilesOfTheDataFolder) {
    for (const char* name : {"quillomar.desktop", "quillomar-mime.xml", "org.quillomar.quillomar.metainfo.xml"}) {
        EXPECT_EQ(std::string(embeddedFile(name)), test::readFile(kSourceData + "/" + name)) << name;
    }
    EXPECT_EQ(std::string(embeddedFile("quillomar.svg")), test::readFile(kSourceData + "/icons/quillomar.svg"));
    EXPECT_TRUE(embeddedFile("no-such-file").empty());
}

TEST(DesktopFiles, IconsArePngsOfTheirNamedSize) {
    for (std::uint32_t size : {16u, 32u, 48u, 256u}) {
        std::string_view png = embeddedFile("quillomar-" + std::to_string(size) + ".png");
        ASSERT_GT(png.size(), 24u) << size;
        EXPECT_EQ(png.substr(0, 8), std::string_view("\x89PNG\r\n\x1a\n", 8));
        EXPECT_EQ(png.substr(12, 4), "IHDR");
        auto be32 = [&](std::size_t at) {
            std::uint32_t value = 0;
            for (std::size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(png[at + i]);
            return value;
        };
        EXPECT_EQ(be32(16), size);
        EXPECT_EQ(be32(20), size);
    }
}

TEST(DesktopFiles, EntryMimeTypeAndMetainfoAgree) {
    std::string entry = test::readFile(kSourceData + "/quillomar.desktop");
    std::string mime = test::readFile(kSourceData + "/quillomar-mime.xml");
    std::string metainfo = test::readFile(kSourceData + "/org.quillomar.quillomar.metainfo.xml");
    EXPECT_NE(entry.find("\nMimeType=application/x-pod-archive;\n"), std::string::npos);
    EXPECT_NE(entry.find("\nIcon=quillomar\n"), std::string::npos);
    EXPECT_NE(mime.find("<mime-type type=\"application/x-pod-archive\">"), std::string::npos);
    EXPECT_NE(mime.find("<glob pattern=\"*.pod\"/>"), std::string::npos);
    EXPECT_NE(mime.find("<match type=\"string\" value=\"POD2\" offset=\"0\"/>"), std::string::npos);
    EXPECT_NE(mime.find("<match type=\"string\" value=\"POD3\" offset=\"0\"/>"), std::string::npos);
    EXPECT_NE(metainfo.find("<launchable type=\"desktop-id\">quillomar.desktop</launchable>"), std::string::npos);
    EXPECT_NE(metainfo.find("<mediatype>application/x-pod-archive</mediatype>"), std::string::npos);
    // The version record.
    EXPECT_NE(metainfo.find("<release version=\"" + std::string(version::kFileVersion) + "\""), std::string::npos);
}

TEST(DesktopFiles, InstallAndRemoveLeaveTheDataFolderAsItWas) {
    TempDir dir;
    std::string data = dir / "data";
    test::writeFile(data + "/applications/other.desktop", "[Desktop Entry]\n");
    ASSERT_EQ(installDesktopFiles(data, "/usr/bin/quillomar"), 0);
    EXPECT_TRUE(test::exists(data + "/applications/quillomar.desktop"));
    EXPECT_TRUE(test::exists(data + "/mime/packages/quillomar.xml"));
    EXPECT_TRUE(test::exists(data + "/icons/hicolor/48x48/apps/quillomar.png"));
    EXPECT_TRUE(test::exists(data + "/icons/hicolor/scalable/apps/quillomar.svg"));
    EXPECT_TRUE(test::exists(data + "/metainfo/org.quillomar.quillomar.metainfo.xml"));
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

// The desktop's validators, over the files as installed and as the user's copy.
TEST(DesktopValidators, DesktopEntriesPassDesktopFileValidate) {
    if (!test::haveTool("desktop-file-validate")) GTEST_SKIP() << "desktop-file-validate is not installed";
    std::string output;
    EXPECT_EQ(test::runCommand("desktop-file-validate " + quoted(kSourceData + "/quillomar.desktop"), &output), 0)
        << output;
    TempDir dir;
    for (const char* program : {"/usr/bin/quillomar", "/opt/my \"apps\" $HOME/100%/quillomar"}) {
        std::string data = dir / "data";
        ASSERT_EQ(installDesktopFiles(data, program), 0);
        EXPECT_EQ(test::runCommand("desktop-file-validate " + quoted(data + "/applications/quillomar.desktop"), &output), 0)
            << program << "\n" << output;
        removeDesktopFiles(data);
    }
}

TEST(DesktopValidators, MetainfoPassesAppstreamcliValidate) {
    if (!test::haveTool("appstreamcli")) GTEST_SKIP() << "appstreamcli is not installed";
    std::string output;
    EXPECT_EQ(test::runCommand("appstreamcli validate --no-net " +
                                   quoted(kSourceData + "/org.quillomar.quillomar.metainfo.xml"),
                               &output),
              0)
        << output;
}

TEST(DesktopValidators, MimeDatabaseMapsPodFilesByNameAndBySignature) {
    if (!test::haveTool("update-mime-database")) GTEST_SKIP() << "update-mime-database is not installed";
    TempDir dir;
    std::string data = dir / "data";
    ASSERT_EQ(installDesktopFiles(data, "/usr/bin/quillomar"), 0);
    std::string output;
    ASSERT_EQ(test::runCommand("update-mime-database " + quoted(data + "/mime"), &output), 0) << output;
    std::string globs = test::readFile(data + "/mime/globs2");
    EXPECT_NE(globs.find(":application/x-pod-archive:*.pod"), std::string::npos) << globs;
    std::string magic = test::readFile(data + "/mime/magic");
    EXPECT_NE(magic.find("[60:application/x-pod-archive]"), std::string::npos);
    EXPECT_NE(magic.find("POD2"), std::string::npos);
    EXPECT_NE(magic.find("POD3"), std::string::npos);
    if (test::haveTool("update-desktop-database")) {
        ASSERT_EQ(test::runCommand("update-desktop-database " + quoted(data + "/applications"), &output), 0) << output;
        std::string cache = test::readFile(data + "/applications/mimeinfo.cache");
        EXPECT_NE(cache.find("application/x-pod-archive=quillomar.desktop;"), std::string::npos) << cache;
    }
}

}  // namespace
}  // namespace quillomar
