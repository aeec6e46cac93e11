// The switch phase: which steps run for each switch, what they leave behind, and the exit code.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/registration.h"
#include "app/switchphase.h"
#include "platform/registry.h"
#include "support.h"

namespace quillomar {
namespace {

using test::Sandbox;

std::string programPath() { return std::filesystem::read_symlink("/proc/self/exe").string(); }

TEST(SwitchPhase, RegServerThenUnregServerLeavesOnlyTheAppIdKey) {
    Sandbox box;
    ServerModule module(box.setup());
    ASSERT_EQ(runSwitchPhase("/usr/bin/quillomar -RegServer", module), 0);
    EXPECT_EQ(box.storeText(), test::registeredStoreText(programPath()));
    EXPECT_EQ(test::listTree(box.dir / "data", true), test::kDesktopFiles);
    EXPECT_NE(test::readFile(box.dir / "data/applications/quillomar.desktop").find("\nExec=" + programPath() + " %f\n"),
              std::string::npos);
    EXPECT_EQ(box.toolRuns, (std::vector<std::string>{"update-mime-database " + (box.dir / "data/mime"),
                                                      "update-desktop-database " + (box.dir / "data/applications")}));
    // The folders registration makes are the user's alone, whatever the umask.
    for (const char* folder : {"config/quillomar", "data/applications", "data/mime/packages"}) {
        EXPECT_EQ(std::filesystem::status(box.dir / folder).permissions(), std::filesystem::perms::owner_all) << folder;
    }

    // Registering again gives the same result.
    ASSERT_EQ(runSwitchPhase("/usr/bin/quillomar /regserver", module), 0);
    EXPECT_EQ(box.storeText(), test::registeredStoreText(programPath()));

    box.toolRuns.clear();
    ASSERT_EQ(runSwitchPhase("/usr/bin/quillomar /unregserver", module), 0);
    EXPECT_EQ(box.storeText(), test::kOnlyAppIdKey);
    EXPECT_EQ(test::listTree(box.dir.path()),
              (std::vector<std::string>{"config", "config/quillomar", "config/quillomar/registry", "data"}));
    // The caches are refreshed once more, then go with the folders that hold nothing else.
    EXPECT_EQ(box.toolRuns, (std::vector<std::string>{"update-mime-database " + (box.dir / "data/mime"),
                                                      "update-desktop-database " + (box.dir / "data/applications")}));

    // Unregistering again changes nothing.
    ASSERT_EQ(runSwitchPhase("/usr/bin/quillomar -UnregServer", module), 0);
    EXPECT_EQ(box.storeText(), test::kOnlyAppIdKey);
}

TEST(SwitchPhase, WithoutSwitchOrWithNothingRegisteredNothingIsWritten) {
    Sandbox box;
    ServerModule module(box.setup());
    EXPECT_EQ(runSwitchPhase("/usr/bin/quillomar", module), 0);
    EXPECT_EQ(runSwitchPhase("/usr/bin/quillomar \"/home/me/a.pod\"", module), 0);
    EXPECT_EQ(runSwitchPhase("/usr/bin/quillomar -RegServer1", module), 0);
    EXPECT_TRUE(test::listTree(box.dir.path()).empty());
    EXPECT_EQ(runSwitchPhase("/usr/bin/quillomar -UnregServer", module), 0);
    EXPECT_TRUE(test::listTree(box.dir.path()).empty());
}

TEST(SwitchPhase, ComponentModelFailureGivesMinusOneWhateverTheLine) {
    Sandbox box;
    RegistrationSetup setup = box.setup();
    setup.configHome.clear();  // no configuration folder could be found
    ServerModule module(setup);
    ASSERT_TRUE(module.initFailed());
    EXPECT_EQ(runSwitchPhase("/usr/bin/quillomar", module), -1);
    EXPECT_EQ(runSwitchPhase("/usr/bin/quillomar -RegServer", module), -1);
    EXPECT_EQ(runSwitchPhase("/usr/bin/quillomar -UnregServer", module), -1);
    EXPECT_TRUE(test::listTree(box.dir.path()).empty());

    RegistrationSetup relative = box.setup();
    relative.dataHome = "relative/share";  // base folders must be absolute
    EXPECT_TRUE(ServerModule(relative).initFailed());
}

TEST(SwitchPhase, TypeLibraryIsRegisteredFromTheProgramsOwnFile) {
    Sandbox box;
    RegistrationSetup setup = box.setup();
    setup.programPath = box.dir / "my apps/quillomar";
    ServerModule module(setup);
    // The program's file is gone: the library cannot be loaded, after the identity was written.
    EXPECT_EQ(runSwitchPhase("quillomar /RegServer", module), status::kTypeLibraryNotLoaded);
    RegistryStore store;
    ASSERT_FALSE(store.load(box.dir / "config/quillomar/registry").failed());
    EXPECT_TRUE(store.hasKey("AppID\\Quillomar.EXE"));
    EXPECT_FALSE(store.hasKey("TypeLib"));

    test::writeFile(setup.programPath, "the program");
    ASSERT_EQ(runSwitchPhase("quillomar /RegServer", module), 0);
    ASSERT_FALSE(store.load(box.dir / "config/quillomar/registry").failed());
    const std::string version = "TypeLib\\{4D0EF10D-8F87-4288-B76D-B5D56968CAA5}\\1.0";
    EXPECT_EQ(store.value(version + "\\409\\linux", ""), box.dir / "my apps/quillomar");
    EXPECT_EQ(store.value(version + "\\HELPDIR", ""), box.dir / "my apps");
}

TEST(SwitchPhase, UnregServerStopsWhenTheTypeLibraryCannotBeLoaded) {
    Sandbox box;
    ASSERT_EQ(ServerModule(box.setup()).registerServer(), 0);
    std::string registered = box.storeText();
    RegistrationSetup setup = box.setup();
    setup.programPath = box.dir / "elsewhere/quillomar";
    ServerModule module(setup);
    EXPECT_EQ(runSwitchPhase("quillomar -UnregServer", module), status::kTypeLibraryNotLoaded);
    // The script step did not run: keys and desktop files are all still there.
    EXPECT_EQ(box.storeText(), registered);
    EXPECT_EQ(test::listTree(box.dir / "data", true), test::kDesktopFiles);
}

TEST(SwitchPhase, DamagedStoreIsLeftUntouched) {
    Sandbox box;
    std::string damaged = "[HKEY_CLASSES_ROOT\\AppID]\nnot a value line\n";
    test::writeFile(box.dir / "config/quillomar/registry", damaged);
    ServerModule module(box.setup());
    EXPECT_EQ(runSwitchPhase("quillomar -RegServer", module), status::fromErrno(EBADMSG));
    EXPECT_EQ(runSwitchPhase("quillomar -UnregServer", module), status::fromErrno(EBADMSG));
    EXPECT_EQ(box.storeText(), damaged);
    EXPECT_FALSE(test::exists(box.dir / "data"));
}

TEST(SwitchPhase, FailureStatusesAreNegativeAndNeverExitWithZero) {
    for (int failure : {status::kComponentModelFailed, status::kTypeLibraryNotLoaded, status::fromErrno(EACCES),
                        status::fromErrno(ENOTDIR), status::fromErrno(0)}) {
        EXPECT_LT(failure, 0);
        EXPECT_NE(failure & 0xFF, 0) << std::hex << failure;
    }
    EXPECT_EQ(status::fromErrno(EACCES) & 0xFF, EACCES);
    EXPECT_EQ(static_cast<unsigned>(status::kTypeLibraryNotLoaded), 0x80029C4Au);
}

// The phase in a process of its own, with the module that the program sets up from its
// environment before its entry point, and its own file as the program.
class SwitchPhaseProcess : public ::testing::Test {
protected:
    int run(const std::string& arguments, std::string* output = nullptr) {
        return test::runCommand("env XDG_CONFIG_HOME=" + (dir.path() + "/config") +
                                    " XDG_DATA_HOME=" + (dir.path() + "/data") + " PATH=/nonexistent " +
                                    QUILLOMAR_SWITCH_DRIVER + " " + arguments,
                                output);
    }
    test::TempDir dir;
};

// With the desktop's real tools: the type is known while registered, and forgotten afterwards,
// with nothing of the program's left in the data folder.
TEST_F(SwitchPhaseProcess, UnregServerLeavesTheDesktopWithoutTheArchiveType) {
    for (const char* tool : {"xdg-mime", "gio", "update-mime-database", "update-desktop-database"}) {
        if (!test::haveTool(tool)) GTEST_SKIP() << tool << " is not installed";
    }
    const std::string environment = "env -i HOME=" + dir.path() + " XDG_CONFIG_HOME=" + dir.path() +
                                    "/config XDG_DATA_HOME=" + dir.path() +
                                    "/data XDG_DATA_DIRS=/usr/share XDG_CURRENT_DESKTOP=GNOME PATH=/usr/bin:/bin ";
    test::writeFile(dir.path() + "/x.pod", std::string("POD3") + std::string(300, '\0'));
    auto fileType = [&] {
        std::string type;
        test::runCommand(environment + "xdg-mime query filetype " + dir.path() + "/x.pod 2>/dev/null", &type);
        return type;
    };
    std::string output;
    ASSERT_EQ(test::runCommand(environment + QUILLOMAR_SWITCH_DRIVER + " -RegServer", &output), 0) << output;
    EXPECT_EQ(fileType(), "application/x-pod-archive\n");
    ASSERT_EQ(test::runCommand(environment + QUILLOMAR_SWITCH_DRIVER + " -UnregServer", &output), 0) << output;
    EXPECT_NE(fileType(), "application/x-pod-archive\n");
    EXPECT_EQ(test::listTree(dir.path() + "/data"), std::vector<std::string>{});
    EXPECT_EQ(test::readFile(dir.path() + "/config/quillomar/registry"), test::kOnlyAppIdKey);
}

// Without a display (none named, or one out of reach) the window program says so, skips the
// window, and still runs the switch phase with its exit codes.
TEST_F(SwitchPhaseProcess, WindowProgramWithoutADisplayStillRunsTheSwitchPhase) {
    const std::string program = std::string(" ") + QUILLOMAR_WINDOW_PROGRAM + " ";
    const std::string environment =
        "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM LANG=C LC_ALL= " + ("XDG_CONFIG_HOME=" + dir.path()) +
        "/config XDG_DATA_HOME=" + dir.path() + "/data PATH=/nonexistent";
    const std::string store = dir.path() + "/config/quillomar/registry";
    std::string output;
    EXPECT_EQ(test::runCommand(environment + program + "-RegServer", &output), 0) << output;
    EXPECT_NE(output.find("no display is available"), std::string::npos) << output;
    EXPECT_EQ(test::readFile(store), test::registeredStoreText(QUILLOMAR_WINDOW_PROGRAM));
    EXPECT_EQ(test::runCommand(environment + " DISPLAY=:4093" + program + "/UnregServer", &output), 0) << output;
    EXPECT_NE(output.find("no display is available"), std::string::npos) << output;
    EXPECT_EQ(test::readFile(store), test::kOnlyAppIdKey);
    EXPECT_EQ(test::runCommand(environment + program + "\"/home/me/x.pod\"", &output), 0) << output;

    std::filesystem::remove_all(dir.path() + "/data");
    test::writeFile(dir.path() + "/data", "a file where the data folder belongs");
    EXPECT_EQ(test::runCommand(environment + program + "-RegServer", &output), ENOTDIR) << output;
    EXPECT_EQ(test::runCommand(environment + " LANG=fr_FR.UTF-8" + program + "-RegServer", &output), ENOTDIR);
    EXPECT_NE(output.find("aucun affichage"), std::string::npos) << output;
}

}  // namespace
}  // namespace quillomar
