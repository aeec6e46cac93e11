// The packer window's logic against a fake host: every situation the window can be in, the
// presets, Generate, archives of both generations and the command-line path.

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <memory>

#include "app/dialogtemplate.h"
#include "archive/podarchive.h"
#include "fakehost.h"
#include "packer/packerwindow.h"
#include "testutil.h"

namespace quillomar {
namespace {

using namespace packer;
using test::FakeHost;

constexpr int kInputs[] = {kGenerate, kName, kAuthor, kDescription, kCopyright, kPriority};

class PackerWindowTest : public ::testing::Test {
protected:
    void start(std::string_view tail = {}) {
        window = std::make_unique<PackerWindow>(tail, [this](PodArchive& archive, DialogHost& owner, ProgressSink&) {
            ++contentRuns;
            contentEntries = archive.entries().size();
            EXPECT_EQ(&owner, &host);
            EXPECT_TRUE(window->working());
            if (onContent) onContent(archive);
        });
        host.start(*window);
    }

    bool inputsAre(bool enabled) const {
        for (int id : kInputs) {
            if (host.enabled(id) != enabled) return false;
        }
        return true;
    }

    // src/ holds a.txt (1023 bytes), c.dat (empty) and sub/b.bin (1025 bytes), and the empty
    // folder sub/deeper: 3 files, 2048 bytes, 2 sub-folders, 3 folders visited.
    std::string makeSource() {
        const std::string folder = dir / "src";
        test::writeFile(folder + "/a.txt", std::string(1023, 'a'));
        test::writeFile(folder + "/c.dat", "");
        test::writeFile(folder + "/sub/b.bin", std::string(1025, 'b'));
        test::makeFolder(folder + "/sub/deeper");
        return folder;
    }

    std::string makePod3(const std::string& name) {
        const std::string path = dir / name;
        test::writeFile(path, test::layOutPod3({{"ART\\A.PBM", std::string(1500, 'x')}, {"README.TXT", std::string(600, 'y')}},
                                               "A test pack", "Someone", "(c) nobody", -7));
        return path;
    }

    std::string makePod2(const std::string& name) {
        const std::string path = dir / name;
        test::writeFile(path, test::layOutPod2({{"A.TXT", "aaa"}, {"B\\C.TXT", "cc"}, {"D.BIN", "d"}}, "Old pack"));
        return path;
    }

    test::RecordingSink sink;
    test::TempDir dir;
    FakeHost host{*findDialogTemplate(kPackerDialogId), Language::Neutral};
    std::unique_ptr<PackerWindow> window;
    int contentRuns = 0;
    std::size_t contentEntries = 0;
    std::function<void(PodArchive&)> onContent;
};

// Initialisation and the command line ----------------------------------------------------------

TEST_F(PackerWindowTest, FreshWindowShowsInitialisationPresets) {
    start();
    EXPECT_EQ(host.text(kName), "my_pod_name");
    EXPECT_EQ(host.text(kAuthor), "Author");
    EXPECT_EQ(host.text(kDescription), "Description");
    EXPECT_EQ(host.text(kCopyright), "Copyright");
    EXPECT_EQ(host.text(kPriority), "1000");
    EXPECT_EQ(host.text(kFolder), "");
    for (int id : {kFileCount, kTotalKilobytes, kSubfolders, kVersion}) EXPECT_EQ(host.text(id), "0") << id;
    EXPECT_TRUE(inputsAre(false));
    EXPECT_FALSE(host.enabled(kShowContent));
    EXPECT_TRUE(host.enabled(kWriteLog));
    EXPECT_FALSE(host.isChecked(kWriteLog));

    const FakeHost::Bar& bar = host.bars.at(kProgress);
    EXPECT_EQ(bar.step, 1);
    EXPECT_EQ(bar.low, 0);
    EXPECT_EQ(bar.high, 100);
    EXPECT_EQ(bar.position, 0);
    EXPECT_EQ(host.iconId, kIcon);
    EXPECT_TRUE(host.postedMessages.empty());
    EXPECT_EQ(sink.count(), 0u);
}

TEST_F(PackerWindowTest, PresetsAreTheSameInFrench) {
    FakeHost french(*findDialogTemplate(kPackerDialogId), Language::French);
    PackerWindow w({});
    french.start(w);
    EXPECT_EQ(french.text(kAuthor), "Author");
    EXPECT_EQ(french.text(kCopyright), "Copyright");
    EXPECT_EQ(french.text(kQuit), "Fermer");
    EXPECT_EQ(french.text(kShowContent), "Voir / Extraire...");
}

TEST_F(PackerWindowTest, CommandLineArchiveOpensOnceTheLoopRuns) {
    const std::string path = makePod3("given.pod");
    start("\"" + path + "\"");
    EXPECT_EQ(window->commandLinePath(), path);
    ASSERT_EQ(host.postedMessages, std::vector<int>{kOpenPathMessage});
    EXPECT_EQ(host.text(kDescription), "Description");  // nothing is opened during initialisation

    host.runPosted();
    EXPECT_EQ(host.text(kName), path);
    EXPECT_EQ(host.text(kDescription), "A test pack");
    EXPECT_EQ(contentRuns, 1);
}

struct TailCase {
    const char* tail;
    const char* path;
};

class CommandLineTailTest : public ::testing::TestWithParam<TailCase> {};

TEST_P(CommandLineTailTest, DropsFirstAndLastCharacterUnexamined) {
    PackerWindow w(GetParam().tail);
    EXPECT_EQ(w.commandLinePath(), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(Tails, CommandLineTailTest,
                         ::testing::Values(TailCase{"", ""}, TailCase{"\"", ""}, TailCase{"\"\"", ""},
                                           TailCase{"\"/a b/x.pod\"", "/a b/x.pod"},
                                           TailCase{"C:\\x.pod", ":\\x.po"},
                                           TailCase{"\"/m/x.pod\" ", "/m/x.pod\""}));

TEST_F(PackerWindowTest, UnquotedOrTrailingQuoteCommandLinePathIsRefused) {
    const std::string path = makePod3("x.pod");
    for (const std::string& tail : {path, "\"" + path + "\" "}) {
        sink.ids.clear();
        FakeHost other(*findDialogTemplate(kPackerDialogId), Language::Neutral);
        PackerWindow w(tail);
        other.start(w);
        const auto before = other.controls;
        other.runPosted();
        EXPECT_EQ(sink.ids, std::vector<int>{kMsgNotFolderOrArchive}) << tail;
        EXPECT_EQ(other.controls, before) << tail;
        EXPECT_EQ(w.archive(), nullptr);
    }
}

TEST_F(PackerWindowTest, CommandLinePathHoldsAtMost259Characters) {
    const std::string archive = makePod3("p.pod");
    // The same archive named through "./" components, padded to the wanted length.
    auto padded = [&](std::size_t length) {
        std::string path = dir.path() + "/";
        while (path.size() + 2 + 5 <= length) path += "./";
        if (path.size() + 5 < length) path += "/";
        return path + "p.pod";
    };
    const std::string fits = padded(259);
    const std::string tooLong = padded(260);
    ASSERT_EQ(fits.size(), 259u);
    ASSERT_EQ(tooLong.size(), 260u);

    start("\"" + fits + "\"");
    host.runPosted();
    EXPECT_EQ(contentRuns, 1);
    EXPECT_TRUE(sink.ids.empty());

    FakeHost other(*findDialogTemplate(kPackerDialogId), Language::Neutral);
    PackerWindow w("\"" + tooLong + "\"");
    EXPECT_EQ(w.commandLinePath().size(), 259u);
    other.start(w);
    other.runPosted();
    EXPECT_EQ(sink.ids, std::vector<int>{kMsgNotFolderOrArchive});
    EXPECT_EQ(w.archive(), nullptr);
}

TEST_F(PackerWindowTest, QuitEndsTheWindowAndCancelDoesNothing) {
    start();
    window->onCommand(kIdCancel);
    EXPECT_FALSE(host.endResult.has_value());
    window->onCommand(kQuit);
    EXPECT_EQ(host.endResult, 1);
}

// Folder drops ------------------------------------------------------------------------------------

TEST_F(PackerWindowTest, FolderDropShowsStatisticsAndDropPresets) {
    const std::string folder = makeSource();
    start();
    window->onDrop(folder);

    EXPECT_EQ(host.text(kFolder), folder);
    EXPECT_EQ(host.text(kFileCount), "3");
    EXPECT_EQ(host.text(kTotalKilobytes), "2");
    EXPECT_EQ(host.text(kSubfolders), "2");
    EXPECT_EQ(host.text(kName), "my_pod_name");
    EXPECT_EQ(host.text(kAuthor), "Generated by Quillomar");
    EXPECT_EQ(host.text(kDescription), "Description...");
    EXPECT_EQ(host.text(kCopyright), "Copyright...");
    EXPECT_EQ(host.text(kPriority), "1000");
    EXPECT_EQ(host.text(kVersion), "3");
    EXPECT_TRUE(inputsAre(true));
    EXPECT_FALSE(host.enabled(kShowContent));
    EXPECT_EQ(window->sourceList().files.size(), 3u);

    FakeHost::Bar& bar = host.bars.at(kProgress);
    EXPECT_EQ(bar.ranges.back(), std::make_pair(0, 100));
    EXPECT_EQ(bar.steps, 3);  // one step per folder visited
    EXPECT_EQ(bar.position, 3);
    host.runPosted();  // the bar empties once the drop has been handled
    EXPECT_EQ(bar.position, 0);
    EXPECT_FALSE(test::exists(folder + "/my_pod_name.txt"));
    EXPECT_EQ(sink.count(), 0u);
}

TEST_F(PackerWindowTest, KilobytesDropTheRemainder) {
    start();
    for (auto [bytes, shown] : {std::pair{1023, "0"}, std::pair{1024, "1"}, std::pair{2047, "1"}}) {
        const std::string folder = dir / ("k" + std::to_string(bytes));
        test::writeFile(folder + "/f", std::string(static_cast<std::size_t>(bytes), 'k'));
        window->onDrop(folder);
        EXPECT_EQ(host.text(kTotalKilobytes), shown) << bytes;
    }
}

TEST_F(PackerWindowTest, ContentLogIsWrittenOnlyWhenTheBoxIsChecked) {
    const std::string folder = makeSource();
    const std::string log = folder + "/my_pod_name.txt";
    start();
    window->onDrop(folder);
    EXPECT_FALSE(test::exists(log));

    host.setChecked(kWriteLog, true);
    window->onDrop(folder);
    EXPECT_EQ(test::readFile(log), folder + "/a.txt\r\n" + folder + "/c.dat\r\n" + folder + "/sub/b.bin\r\n");

    // The next scan finds the log, lists it, and the new log replaces the old one.
    window->onDrop(folder);
    EXPECT_EQ(host.text(kFileCount), "4");
    EXPECT_NE(test::readFile(log).find(log + "\r\n"), std::string::npos);
}

TEST_F(PackerWindowTest, FolderWithoutFilesLeavesGenerateUnavailable) {
    const std::string full = makeSource();
    const std::string empty = dir / "empty";
    test::makeFolder(empty + "/only/folders");
    start();
    window->onDrop(full);
    ASSERT_TRUE(inputsAre(true));

    host.setChecked(kWriteLog, true);
    window->onDrop(empty);
    EXPECT_EQ(host.text(kFolder), empty);
    EXPECT_EQ(host.text(kFileCount), "0");
    EXPECT_EQ(host.text(kTotalKilobytes), "0");
    EXPECT_EQ(host.text(kSubfolders), "2");
    EXPECT_EQ(host.text(kName), "my_pod_name");
    EXPECT_EQ(host.text(kVersion), "3");
    EXPECT_TRUE(inputsAre(false));
    EXPECT_FALSE(host.enabled(kShowContent));
    EXPECT_FALSE(test::exists(empty + "/my_pod_name.txt"));

    // Even a Generate that reached the window would write nothing.
    window->onCommand(kGenerate);
    EXPECT_FALSE(test::exists(empty + "/my_pod_name.pod"));
    EXPECT_EQ(sink.count(), 0u);
}

TEST_F(PackerWindowTest, OnlyTheFolderTextDecidesWhatIsScanned) {
    // An item whose attributes cannot be read counts as a folder: it is shown and found empty.
    const std::string missing = dir / "gone";
    start();
    window->onDrop(missing);
    EXPECT_EQ(host.text(kFolder), missing);
    EXPECT_EQ(host.text(kFileCount), "0");
    EXPECT_TRUE(sink.ids.empty());
}

// Generate -----------------------------------------------------------------------------------------

TEST_F(PackerWindowTest, GenerateWritesTheArchiveInsideTheFolder) {
    const std::string folder = makeSource();
    start();
    window->onDrop(folder);
    host.runPosted();
    host.setItemText(kName, "pack");
    host.setItemText(kAuthor, "Me");
    host.setItemText(kDescription, "Planes");
    host.setItemText(kCopyright, "Mine");
    host.setItemText(kPriority, "12");

    bool disabledWhileWriting = true;
    host.onStep = [&] { disabledWhileWriting = disabledWhileWriting && inputsAre(false); };
    FakeHost::Bar& bar = host.bars.at(kProgress);
    bar.steps = 0;
    window->onCommand(kGenerate);

    EXPECT_TRUE(disabledWhileWriting);
    EXPECT_TRUE(inputsAre(true));
    EXPECT_EQ(bar.ranges.back(), std::make_pair(0, 3));
    EXPECT_EQ(bar.steps, 3);
    EXPECT_EQ(bar.position, 3);  // left full: no message marks the end
    EXPECT_EQ(sink.count(), 0u);

    PodArchive archive;
    ASSERT_EQ(archive.open(folder + "/pack.pod"), 1);
    EXPECT_EQ(archive.version(), ArchiveVersion::Pod3);
    EXPECT_EQ(archive.author(), "Me");
    EXPECT_EQ(archive.description(), "Planes");
    EXPECT_EQ(archive.copyright(), "Mine");
    EXPECT_EQ(archive.header().priority, 12);
    ASSERT_EQ(archive.readDirectory(), 1);
    ASSERT_EQ(archive.entries().size(), 3u);
    EXPECT_EQ(archive.entries()[2].name, "SUB\\B.BIN");
}

struct PriorityCase {
    const char* text;
    std::int32_t stored;
};

class PriorityTextTest : public PackerWindowTest, public ::testing::WithParamInterface<PriorityCase> {};

TEST_P(PriorityTextTest, IsReadAsTheDialogManagerReadsNumbers) {
    const std::string folder = makeSource();
    start();
    window->onDrop(folder);
    host.setItemText(kPriority, GetParam().text);
    window->onCommand(kGenerate);
    PodArchive archive;
    ASSERT_EQ(archive.open(folder + "/my_pod_name.pod"), 1);
    EXPECT_EQ(archive.header().priority, GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(Texts, PriorityTextTest,
                         ::testing::Values(PriorityCase{"12", 12}, PriorityCase{"-5", -5}, PriorityCase{"abc", 0},
                                           PriorityCase{"", 0}, PriorityCase{" 7 ", 7}, PriorityCase{"12abc", 0},
                                           PriorityCase{"2147483647", INT_MAX},
                                           PriorityCase{"2147483648", 0},
                                           PriorityCase{"-2147483648", INT_MIN}));

TEST_F(PackerWindowTest, GenerateTakesAtMost78CharactersOfEachText) {
    const std::string folder = makeSource();
    start();
    window->onDrop(folder);
    const std::string accented = std::string(20, 'a') + [] {
        std::string s;
        for (int i = 0; i < 80; ++i) s += "\xC3\xA9";  // e-acute: one character, one byte in the archive
        return s;
    }();
    host.setItemText(kAuthor, std::string(100, 'A'));
    host.setItemText(kDescription, accented);
    host.setItemText(kCopyright, std::string(78, 'C'));
    window->onCommand(kGenerate);

    PodArchive archive;
    ASSERT_EQ(archive.open(folder + "/my_pod_name.pod"), 1);
    EXPECT_EQ(archive.author(), std::string(78, 'A'));
    EXPECT_EQ(archive.description(), firstCharacters(accented, 78));
    EXPECT_EQ(archive.copyright(), std::string(78, 'C'));
    EXPECT_EQ(sink.count(), 0u);
}

TEST_F(PackerWindowTest, SecondGenerateReportsTheExistingArchiveAndKeepsIt) {
    const std::string folder = makeSource();
    start();
    window->onDrop(folder);
    window->onCommand(kGenerate);
    const std::string archive = folder + "/my_pod_name.pod";
    const std::string first = test::readFile(archive);
    ASSERT_FALSE(first.empty());

    host.setItemText(kAuthor, "Someone else");
    window->onCommand(kGenerate);
    ASSERT_EQ(sink.systemErrors.size(), 1u);
    EXPECT_NE(sink.systemErrors[0].find("\n==> " + archive), std::string::npos);
    EXPECT_EQ(test::readFile(archive), first);
    EXPECT_TRUE(inputsAre(true));
}

TEST_F(PackerWindowTest, NothingReachesTheWindowWhileGenerateRuns) {
    const std::string folder = makeSource();
    const std::string other = dir / "other";
    test::writeFile(other + "/x", "x");
    const std::string pod = makePod3("in.pod");
    start();
    window->onDrop(folder);

    host.onStep = [&] {
        window->onDrop(other);
        window->onDrop(pod);
        window->onCommand(kGenerate);
        window->onCommand(kShowContent);
        window->onCommand(kQuit);
        window->onPostedMessage(kOpenPathMessage);
    };
    window->onCommand(kGenerate);
    host.onStep = nullptr;

    EXPECT_EQ(host.text(kFolder), folder);
    EXPECT_EQ(window->sourceList().files.size(), 3u);
    EXPECT_EQ(window->archive(), nullptr);
    EXPECT_FALSE(host.endResult.has_value());
    EXPECT_EQ(sink.count(), 0u);  // a second Generate would have met the existing archive
    PodArchive written;
    ASSERT_EQ(written.open(folder + "/my_pod_name.pod"), 1);
    ASSERT_EQ(written.readDirectory(), 1);
    EXPECT_EQ(written.entries().size(), 3u);
}

// Archives -------------------------------------------------------------------------------------------

TEST_F(PackerWindowTest, Pod3ArchiveShowsItsHeaderAndContent) {
    const std::string folder = makeSource();
    const std::string path = makePod3("mod.pod");
    start();
    window->onDrop(folder);
    window->onDrop(path);

    EXPECT_EQ(host.text(kName), path);
    EXPECT_EQ(host.text(kDescription), "A test pack");
    EXPECT_EQ(host.text(kFileCount), "2");
    EXPECT_EQ(host.text(kAuthor), "Someone");
    EXPECT_EQ(host.text(kCopyright), "(c) nobody");
    EXPECT_EQ(host.text(kPriority), "-7");
    EXPECT_EQ(host.text(kVersion), "3");
    EXPECT_EQ(host.text(kTotalKilobytes), "2");  // 2100 bytes
    EXPECT_EQ(host.text(kSubfolders), "-");
    EXPECT_EQ(host.text(kFolder), folder);
    EXPECT_TRUE(inputsAre(false));
    EXPECT_TRUE(host.enabled(kShowContent));
    EXPECT_EQ(contentRuns, 1);
    EXPECT_EQ(contentEntries, 2u);
    EXPECT_EQ(window->sourceList().files.size(), 3u);  // opening an archive keeps the scan
    EXPECT_EQ(sink.count(), 0u);
}

TEST_F(PackerWindowTest, Pod2ArchiveShowsDashesForPod3Fields) {
    const std::string path = makePod2("old.pod");
    start();
    window->onDrop(path);
    EXPECT_EQ(host.text(kDescription), "Old pack");
    EXPECT_EQ(host.text(kFileCount), "3");
    EXPECT_EQ(host.text(kAuthor), "-");
    EXPECT_EQ(host.text(kCopyright), "-");
    EXPECT_EQ(host.text(kPriority), "-");
    EXPECT_EQ(host.text(kVersion), "2");
    EXPECT_EQ(host.text(kTotalKilobytes), "0");
    EXPECT_EQ(contentRuns, 1);
    EXPECT_EQ(contentEntries, 3u);
}

TEST_F(PackerWindowTest, PodEndingIsMatchedInAnyCase) {
    const std::string path = makePod3("MOD.POD");
    start();
    window->onDrop(path);
    EXPECT_EQ(host.text(kVersion), "3");
    EXPECT_TRUE(sink.ids.empty());
}

TEST_F(PackerWindowTest, PathsWithoutPodEndingChangeNothing) {
    start();
    window->onDrop(makeSource());
    for (const char* name : {"x.pod.bak", "abc", "pod", ".po", "x.pdo"}) {
        const std::string path = dir / name;
        test::writeFile(path, test::layOutPod3({}, "d", "a", "c", 1));
        sink.ids.clear();
        const auto before = host.controls;
        window->onDrop(path);
        EXPECT_EQ(sink.ids, std::vector<int>{kMsgNotFolderOrArchive}) << name;
        EXPECT_EQ(host.controls, before) << name;
    }
    EXPECT_EQ(window->archive(), nullptr);
}

TEST_F(PackerWindowTest, ArchiveThatCannotBeOpenedIsRefused) {
    const std::string notPod = dir / "bad.pod";
    test::writeFile(notPod, "PK\x03\x04 certainly not a pod archive");
    const std::string missing = dir / "missing.pod";
    start();
    window->onDrop(makeSource());

    window->onDrop(notPod);
    EXPECT_EQ(sink.ids, std::vector<int>{kMsgNotAnArchive});
    EXPECT_EQ(host.text(kName), notPod);
    EXPECT_EQ(host.text(kTotalKilobytes), "-");
    EXPECT_EQ(host.text(kFileCount), "3");  // the rest as before
    EXPECT_EQ(host.text(kSubfolders), "2");
    EXPECT_EQ(host.text(kAuthor), "Generated by Quillomar");
    EXPECT_TRUE(inputsAre(false));
    EXPECT_FALSE(host.enabled(kShowContent));

    // A file that cannot be opened at all says nothing.
    sink.ids.clear();
    window->onDrop(makePod3("good.pod"));
    ASSERT_TRUE(host.enabled(kShowContent));
    window->openArchivePath(missing);  // as the command line hands it over
    EXPECT_TRUE(sink.ids.empty());
    EXPECT_EQ(host.text(kName), missing);
    EXPECT_FALSE(host.enabled(kShowContent));
    EXPECT_EQ(contentRuns, 1);
}

TEST_F(PackerWindowTest, FolderNamedLikeAnArchiveIsRefusedFromTheCommandLine) {
    const std::string folder = dir / "looks.pod";
    test::makeFolder(folder);
    start("\"" + folder + "\"");
    host.runPosted();
    EXPECT_TRUE(sink.ids.empty());
    EXPECT_EQ(host.text(kName), folder);
    EXPECT_EQ(host.text(kTotalKilobytes), "-");
    EXPECT_FALSE(host.enabled(kShowContent));
    EXPECT_EQ(contentRuns, 0);

    // Dropped, the same folder is a folder.
    window->onDrop(folder);
    EXPECT_EQ(host.text(kFolder), folder);
    EXPECT_EQ(host.text(kTotalKilobytes), "0");
}

TEST_F(PackerWindowTest, FolderDropAfterAnArchiveRestoresTheDropPresets) {
    start();
    window->onDrop(makePod3("a.pod"));
    ASSERT_TRUE(host.enabled(kShowContent));
    window->onDrop(makeSource());
    EXPECT_EQ(host.text(kName), "my_pod_name");
    EXPECT_EQ(host.text(kAuthor), "Generated by Quillomar");
    EXPECT_EQ(host.text(kDescription), "Description...");
    EXPECT_EQ(host.text(kCopyright), "Copyright...");
    EXPECT_EQ(host.text(kPriority), "1000");
    EXPECT_EQ(host.text(kVersion), "3");
    EXPECT_EQ(host.text(kFileCount), "3");
    EXPECT_EQ(host.text(kTotalKilobytes), "2");
    EXPECT_EQ(host.text(kSubfolders), "2");
    EXPECT_FALSE(host.enabled(kShowContent));
    EXPECT_TRUE(inputsAre(true));
}

TEST_F(PackerWindowTest, ShowContentReadsTheDirectoryAnewEachTime) {
    const std::string path = makePod3("grow.pod");
    start();
    window->onDrop(path);
    ASSERT_EQ(contentRuns, 1);
    ASSERT_EQ(host.text(kTotalKilobytes), "2");

    // The first record's size shrinks from 1500 to 100 bytes: 700 bytes in all.
    std::string bytes = test::readFile(path);
    const std::size_t firstRecordSize = 288 + 2100 + 4;
    bytes[firstRecordSize] = 100;
    bytes[firstRecordSize + 1] = 0;
    test::writeFile(path, bytes);
    window->onCommand(kShowContent);
    EXPECT_EQ(contentRuns, 2);
    EXPECT_EQ(host.text(kTotalKilobytes), "0");
    EXPECT_TRUE(host.enabled(kShowContent));
}

TEST_F(PackerWindowTest, UnreadableDirectoryShowsNoContentWindow) {
    // The header fits the file, but the name offset points past the name table.
    std::string bytes = test::layOutPod3({{"A.TXT", "abc"}}, "broken", "x", "y", 5);
    const std::size_t record = 288 + 3;
    bytes[record] = '\x40';
    const std::string path = dir / "broken.pod";
    test::writeFile(path, bytes);
    start();
    window->onDrop(makeSource());
    window->onDrop(path);

    EXPECT_EQ(sink.ids, std::vector<int>{kMsgDamagedArchive});
    EXPECT_EQ(contentRuns, 0);
    EXPECT_EQ(host.text(kVersion), "3");
    EXPECT_EQ(host.text(kTotalKilobytes), "-");
    EXPECT_EQ(host.text(kSubfolders), "2");
    EXPECT_TRUE(host.enabled(kShowContent));
}

TEST_F(PackerWindowTest, ClosingTheWindowDeletesTemporaryCopies) {
    std::string copy;
    onContent = [&](PodArchive& archive) { copy = archive.writeTemporaryCopy(archive.entries().at(1)).value_or(""); };
    start();
    window->onDrop(makePod3("t.pod"));
    ASSERT_FALSE(copy.empty());
    EXPECT_TRUE(test::exists(copy));
    window.reset();
    EXPECT_FALSE(test::exists(copy));
}

}  // namespace
}  // namespace quillomar
