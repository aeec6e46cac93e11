// The reader: both generations, short headers, and archives that do not fit their file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include "archive/podarchive.h"
#include "testutil.h"

namespace quillomar {
namespace {

using test::putLe32;
using test::RawEntry;
using test::TempDir;
using test::writeFile;
using namespace std::string_literals;

class ReaderTest : public ::testing::Test {
protected:
    std::string put(const std::string& bytes, const std::string& name = "a.pod") {
        std::string path = dir / name;
        writeFile(path, bytes);
        return path;
    }

    TempDir dir;
    test::RecordingSink sink;
    PodArchive archive;
};

TEST_F(ReaderTest, ReadsAHandBuiltPod2) {
    std::string bytes = test::layOutPod2({{"data\\a.txt", "alpha", 0x3EC6C54C}, {"B.BIN", "", 0}}, "Old one");
    ASSERT_EQ(archive.open(put(bytes)), 1);
    EXPECT_EQ(archive.version(), ArchiveVersion::Pod2);
    EXPECT_EQ(archive.description(), "Old one");
    ASSERT_EQ(archive.readDirectory(), 1);
    ASSERT_EQ(archive.entries().size(), 2u);
    EXPECT_EQ(archive.entries()[0].name, "data\\a.txt");  // any case is kept
    EXPECT_EQ(archive.entries()[0].time, test::utc(2003, 4, 28, 12, 0, 0));
    EXPECT_EQ(archive.entries()[1].time, kNoEntryTime);
    std::string data(5, '\0');
    EXPECT_EQ(archive.readEntryData(archive.entries()[0], 0, std::as_writable_bytes(std::span(data))).count, 5);
    EXPECT_EQ(data, "alpha");
    EXPECT_EQ(sink.count(), 0u);
}

TEST_F(ReaderTest, ShortHeadersReadAsZero) {
    ASSERT_EQ(archive.open(put("POD2 short")), 1);
    EXPECT_EQ(archive.header().entryCount, 0);
    ASSERT_EQ(archive.readDirectory(), 1);
    EXPECT_TRUE(archive.entries().empty());

    ASSERT_EQ(archive.open(put(std::string("POD3") + std::string(200, '\0'), "b.pod")), 1);
    EXPECT_EQ(archive.version(), ArchiveVersion::Pod3);
    ASSERT_EQ(archive.readDirectory(), 1);
    EXPECT_EQ(archive.largestSize(), 0);
    EXPECT_EQ(archive.totalSize(), 0);
}

TEST_F(ReaderTest, OtherFilesAreNotArchives) {
    EXPECT_EQ(archive.open(put("pod3" + std::string(300, '\0'))), 0);
    EXPECT_EQ(archive.version(), ArchiveVersion::None);
    EXPECT_EQ(archive.failure().messageId, 103);
    EXPECT_EQ(archive.failure().path, dir / "a.pod");
    EXPECT_EQ(archive.readDirectory(), 0);

    // A file that cannot be opened (missing, a folder, a pipe: what each gives is the platform
    // tests' matter): the record keeps the system's reason.
    ASSERT_EQ(::mkfifo((dir / "pipe.pod").c_str(), 0600), 0);
    EXPECT_EQ(archive.open(dir / "pipe.pod"), 0);
    EXPECT_EQ(archive.failure().error, EINVAL);
    EXPECT_EQ(archive.failure().path, dir / "pipe.pod");
    EXPECT_EQ(sink.count(), 0u);  // the reader shows nothing: its callers do

    // A good archive leaves an empty record behind.
    ASSERT_EQ(archive.open(put(test::layOutPod3({}, "", "", "", 0), "good.pod")), 1);
    EXPECT_FALSE(archive.failure().failed());
}

// One damaged archive a row: each is refused with message 111 and loads nothing, and the record
// names the offset of the field or record at fault.
struct Damage {
    const char* name;
    void (*apply)(std::string& bytes);
    bool refusedAtOpen;
    std::uint64_t offset;
};

const std::string kGood = test::layOutPod3({{"A.TXT", "aaaa", 0}, {"B\\C.TXT", "cc", 0}}, "d", "a", "c", 1);
constexpr std::size_t kDir = 288 + 6;

const Damage kDamages[] = {
    {"NegativeEntryCount", [](std::string& b) { putLe32(b, 88, 0xFFFFFFFF); }, true, 88},
    {"EntryCountBeyondTheFile", [](std::string& b) { putLe32(b, 88, 0x7FFFFFFF); }, true, kDir},
    {"DirectoryOffsetPastTheEnd", [](std::string& b) { putLe32(b, 264, 0x10000); }, true, 264},
    {"DirectoryRunsPastTheEnd", [](std::string& b) { putLe32(b, 264, static_cast<std::uint32_t>(b.size() - 30)); },
     true, kGood.size() - 30},
    {"NameOffsetOutsideTheTable", [](std::string& b) { putLe32(b, kDir + 20, 500); }, false, kDir + 20},
    {"NameWithoutTerminator", [](std::string& b) { b.pop_back(); }, false, kDir + 40 + 6},
    {"DataOffsetPastTheEnd", [](std::string& b) { putLe32(b, kDir + 8, 0x7FFFFFF0); }, false, kDir},
    {"DataRunsPastTheEnd", [](std::string& b) { putLe32(b, kDir + 4, static_cast<std::uint32_t>(b.size())); }, false,
     kDir},
    {"NegativeSizeWrapsPastTheEnd", [](std::string& b) { putLe32(b, kDir + 4, 0xFFFFFFFF); }, false, kDir},
    {"NegativeDataOffset", [](std::string& b) { putLe32(b, kDir + 8, 0x80000000); }, false, kDir},
};

class DamagedArchive : public ReaderTest, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedArchive, IsRefusedWithMessage111) {
    std::string bytes = kGood;
    GetParam().apply(bytes);
    int opened = archive.open(put(bytes));
    if (GetParam().refusedAtOpen) {
        EXPECT_EQ(opened, 0);
    } else {
        ASSERT_EQ(opened, 1);
        EXPECT_EQ(archive.readDirectory(), 0);
    }
    EXPECT_EQ(sink.count(), 0u);
    EXPECT_TRUE(archive.entries().empty());
    // The record says what and where, for verify and the command line; the window's box does not.
    EXPECT_EQ(archive.failure().messageId, 111);
    EXPECT_FALSE(archive.failure().detail.empty());
    EXPECT_EQ(archive.failure().offset, GetParam().offset) << archive.failure().detail;
}

INSTANTIATE_TEST_SUITE_P(Reader, DamagedArchive, ::testing::ValuesIn(kDamages),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(ReaderTest, Pod2NameWithoutTerminatorWithin260Bytes) {
    std::string bytes = test::layOutPod2({{std::string(300, 'N'), "", 0}}, "");
    ASSERT_EQ(archive.open(put(bytes)), 1);
    EXPECT_EQ(archive.readDirectory(), 0);
    EXPECT_EQ(archive.failure().messageId, 111);
}

TEST_F(ReaderTest, SparseNameOffsetsAreReadNameByName) {
    // Names scattered far apart in a large table still load, without reading the table whole.
    std::string bytes = test::layOutPod3({{"A", "", 0}, {"B", "", 0}}, "", "", "", 0);
    std::size_t table = bytes.size() - 4;
    bytes += std::string(100000, 'x') + "FAR\0"s;
    putLe32(bytes, table - 20 + 0, static_cast<std::uint32_t>(bytes.size() - 4 - table));
    ASSERT_EQ(archive.open(put(bytes)), 1);
    ASSERT_EQ(archive.readDirectory(), 1);
    EXPECT_EQ(archive.entries()[0].name, "A");
    EXPECT_EQ(archive.entries()[1].name, "FAR");
}

TEST_F(ReaderTest, LargeSizesWrapTheTotalAndHighOffsetsReadBack) {
    // A sparse 2.5 GiB file: two 1.5 GiB entries overlap, one entry sits beyond 2 GiB.
    const std::uint64_t fileSize = 0xA0000000;
    std::string head = test::layOutPod3({{"X", "", 0}, {"Y", "", 0}, {"Z", "", 0}}, "", "", "", 0);
    std::string path = dir / "huge.pod";
    std::size_t directory = 288;
    putLe32(head, directory + 4, 0x60000000);
    putLe32(head, directory + 24, 0x60000000);
    putLe32(head, directory + 40 + 4, 4);
    putLe32(head, directory + 40 + 8, 0x90000000);
    writeFile(path, head);
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(fileSize)), 0);
    int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, "HIGH", 4, 0x90000000), 4);
    ::close(fd);

    ASSERT_EQ(archive.open(path), 1);
    ASSERT_EQ(archive.readDirectory(), 1) << archive.failure().detail;
    EXPECT_EQ(archive.totalSize(), static_cast<std::int32_t>(0xC0000004u));
    EXPECT_LT(archive.totalSize(), 0);
    EXPECT_EQ(archive.entries()[2].offset, 0x90000000u);
    std::string data(4, '\0');
    EXPECT_EQ(archive.readEntryData(archive.entries()[2], 0, std::as_writable_bytes(std::span(data))).count, 4);
    EXPECT_EQ(data, "HIGH");
}

TEST_F(ReaderTest, OpeningAnotherArchiveDeletesTheFirstOnesCopies) {
    std::string first = put(test::layOutPod3({{"DOC\\README.TXT", "first", 0}}, "", "", "", 0));
    std::string second = put(test::layOutPod3({{"OTHER.TXT", "second", 0}}, "", "", "", 0), "b.pod");
    TempDir runtime;
    test::ScopedEnv runtimeDir("XDG_RUNTIME_DIR", runtime.path().c_str());
    ASSERT_EQ(archive.open(first), 1);
    ASSERT_EQ(archive.readDirectory(), 1);
    Result<std::string> copy = archive.writeTemporaryCopy(archive.entries()[0]);
    ASSERT_TRUE(copy);
    EXPECT_EQ(test::readFile(*copy), "first");
    ASSERT_EQ(archive.open(second), 1);
    EXPECT_FALSE(test::exists(*copy));
    EXPECT_TRUE(archive.tempFiles().empty());
}

}  // namespace
}  // namespace quillomar
