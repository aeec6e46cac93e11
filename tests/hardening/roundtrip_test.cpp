// Round trips over generated trees: pack, read back (and again as the same entries laid out as
// POD2), extract, then compare names, sizes, bytes and times. Each tree comes from a seeded
// generator: names drawn from every printable character of the archive code page (accented and
// non-Latin letters included), sizes from 0 to past the copy chunk, nested and empty folders, and
// times inside the DOS range, before 1980 and after 2107. A time outside the DOS range is stored
// as no time, and extraction leaves such a file with the time it was made.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "archive/podarchive.h"
#include "archive/timestamp.h"
#include "packer/sourcelist.h"
#include "platform/codepage.h"
#include "platform/fileio.h"
#include "testutil.h"

namespace quillomar {
namespace {

using test::TempDir;

// 1980-01-01 00:00:00 and 2107-12-31 23:59:59 UTC, in seconds since 1970.
constexpr std::int64_t kFirstDosSecond = 315532800;
constexpr std::int64_t kLastDosSecond = 4354819199;

struct GeneratedFile {
    std::string relative;  // host path below the tree, UTF-8, '/' between folders
    std::string data;
    struct timespec time {};
};

class TreeGenerator {
public:
    TreeGenerator(std::uint64_t seed, const CodePage& page) : random_(seed), page_(page) {
        // Every printable character of the page but the two separators.
        for (int byte = 0x20; byte < 0x100; ++byte) {
            if (byte == '/' || byte == '\\' || byte == 0x7F) continue;
            std::string utf8 = page.toUtf8(std::string(1, static_cast<char>(byte)));
            const char32_t first = static_cast<unsigned char>(utf8[0]);
            if (utf8.size() == 2 && first == 0xC2 && static_cast<unsigned char>(utf8[1]) < 0xA0)
                continue;  // C1 controls
            alphabet_.push_back(utf8);
        }
    }

    std::vector<GeneratedFile> tree() {
        std::vector<GeneratedFile> files;
        folder("", 0, files);
        if (files.empty()) files.push_back(file("only"));
        return files;
    }

private:
    std::size_t below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_); }
    bool chance(int percent) { return below(100) < static_cast<std::size_t>(percent); }

    // A name unique among its siblings once upper-cased in the code page, as the archive stores it.
    std::string name(std::set<std::string>& siblings, bool topLevel) {
        for (;;) {
            std::string candidate;
            const std::size_t length = 1 + below(12);
            for (std::size_t i = 0; i < length; ++i) candidate += alphabet_[below(alphabet_.size())];
            if (candidate == "." || candidate == "..") continue;
            // "X:..." at the top would read back as a drive designator.
            if (topLevel && page_.fromUtf8(candidate)->size() > 1 && (*page_.fromUtf8(candidate))[1] == ':') continue;
            if (siblings.insert(page_.upper(*page_.fromUtf8(candidate))).second) return candidate;
        }
    }

    struct timespec time() {
        std::int64_t seconds = 0;
        switch (below(8)) {
            case 0:
                seconds = kFirstDosSecond - 1 - static_cast<std::int64_t>(below(2000000000));
                break;  // 1916-1979
            case 1:
                seconds = kLastDosSecond + 1 + static_cast<std::int64_t>(below(8000000000));
                break;  // 2108-2361
            case 2: {
                static constexpr std::int64_t kEdges[] = {kFirstDosSecond,    kFirstDosSecond - 1, kLastDosSecond,
                                                          kLastDosSecond - 1, kLastDosSecond + 1,  0};
                seconds = kEdges[below(std::size(kEdges))];
                break;
            }
            default:
                seconds = kFirstDosSecond + static_cast<std::int64_t>(below(kLastDosSecond - kFirstDosSecond + 1));
        }
        return {static_cast<time_t>(seconds), static_cast<long>(below(1000000000))};
    }

    GeneratedFile file(const std::string& relative) {
        GeneratedFile made;
        made.relative = relative;
        std::size_t size = 0;
        const std::size_t kind = below(20);
        if (kind < 4) {
            size = 0;
        } else if (kind < 17) {
            size = 1 + below(3000);
        } else if (kind < 19) {
            size = 3000 + below(70000);
        } else if (!bigDone_) {
            size = kCopyChunkSize + 1 + below(5000);  // past one copy chunk
            bigDone_ = true;
        }
        made.data.resize(size);
        for (char& c : made.data) c = static_cast<char>(below(256));
        made.time = time();
        return made;
    }

    void folder(const std::string& prefix, int depth, std::vector<GeneratedFile>& files) {
        std::set<std::string> siblings;
        const std::size_t fileCount = below(6);
        for (std::size_t i = 0; i < fileCount; ++i) files.push_back(file(prefix + name(siblings, prefix.empty())));
        const std::size_t folderCount = depth < 3 ? below(3) : 0;
        for (std::size_t i = 0; i < folderCount; ++i)
            folder(prefix + name(siblings, prefix.empty()) + "/", depth + 1, files);
    }

    std::mt19937_64 random_;
    const CodePage& page_;
    std::vector<std::string> alphabet_;
    bool bigDone_ = false;
};

std::optional<FileTime> expectedTime(const struct timespec& ts) {
    if (ts.tv_sec < kFirstDosSecond || ts.tv_sec > kLastDosSecond) return std::nullopt;
    return kUnixEpochFileTime + (ts.tv_sec - ts.tv_sec % 2) * kFileTimeTicksPerSecond;  // DOS keeps even seconds
}

struct Expected {
    const GeneratedFile* file;
    std::string hostPath;  // where extraction puts it: the upper-cased stored name, in host form
};

class CodePageScope {
public:
    explicit CodePageScope(int number) { setArchiveCodePage(number); }
    ~CodePageScope() { setArchiveCodePage(1252); }
};

std::string entryData(const PodArchive& archive, const ArchiveEntry& entry) {
    std::string bytes(entry.size, '\0');
    EXPECT_EQ(archive.readEntryData(entry, 0, std::as_writable_bytes(std::span(bytes))).count,
              static_cast<std::int64_t>(bytes.size()));
    return bytes;
}

void roundTrip(std::uint64_t seed, int codePage) {
    SCOPED_TRACE("seed " + std::to_string(seed) + ", code page " + std::to_string(codePage));
    CodePageScope scope(codePage);
    const CodePage& page = archiveCodePage();
    TempDir dir;
    const std::string source = dir / "src";
    const std::string root = dir / "out";
    ASSERT_EQ(::mkdir(source.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(root.c_str(), 0755), 0);

    const std::vector<GeneratedFile> files = TreeGenerator(seed, page).tree();
    std::map<std::string, Expected> expected;  // by stored name
    for (const GeneratedFile& file : files) {
        const std::string path = source + "/" + file.relative;
        test::writeFile(path, file.data);
        struct timespec times[2] = {file.time, file.time};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << file.relative;
        std::string stored = page.upper(*page.fromUtf8(file.relative));
        std::replace(stored.begin(), stored.end(), '/', '\\');
        std::string host = page.toUtf8(stored);
        std::replace(host.begin(), host.end(), '\\', '/');
        expected[stored] = {&file, root + "/" + host};
    }

    test::RecordingSink sink;
    const SourceList list = test::scan(source);
    ASSERT_EQ(list.files.size(), files.size());
    ASSERT_EQ(test::pack(list, dir / "tree.pod"), 1);

    // Read back: every file once, under its stored name, with its bytes and its time.
    PodArchive archive;
    ASSERT_EQ(archive.open(dir / "tree.pod"), 1);
    ASSERT_EQ(archive.readDirectory(), 1);
    ASSERT_EQ(archive.entries().size(), files.size());
    std::vector<test::RawEntry> asPod2;
    for (const ArchiveEntry& entry : archive.entries()) {
        auto found = expected.find(entry.name);
        ASSERT_NE(found, expected.end()) << page.toUtf8(entry.name);
        const GeneratedFile& file = *found->second.file;
        EXPECT_EQ(entry.size, file.data.size()) << file.relative;
        EXPECT_EQ(entry.time, expectedTime(file.time).value_or(kNoEntryTime)) << file.relative;
        EXPECT_EQ(entryData(archive, entry), file.data) << file.relative;
        asPod2.push_back(
            {entry.name, file.data, entry.time == kNoEntryTime ? kTimestampBias : encodeTimestamp(entry.time)});
    }

    // The same entries as a POD2 archive read back alike.
    test::writeFile(dir / "tree2.pod", test::layOutPod2(asPod2, "POD2"));
    PodArchive old;
    ASSERT_EQ(old.open(dir / "tree2.pod"), 1);
    ASSERT_EQ(old.readDirectory(), 1);
    ASSERT_EQ(old.entries().size(), archive.entries().size());
    for (std::size_t i = 0; i < old.entries().size(); ++i) {
        EXPECT_EQ(old.entries()[i].name, archive.entries()[i].name);
        EXPECT_EQ(old.entries()[i].time, archive.entries()[i].time);
        EXPECT_EQ(entryData(old, old.entries()[i]), entryData(archive, archive.entries()[i]));
    }

    // Extract: the same bytes under the stored names; DOS times set, other files left as made.
    struct timespec before {};
    ::clock_gettime(CLOCK_REALTIME, &before);
    before.tv_sec -= 1;  // file systems round creation times to their own granularity
    ASSERT_EQ(test::extractAll(archive, root, nullptr), 1);
    struct timespec after {};
    ::clock_gettime(CLOCK_REALTIME, &after);
    after.tv_sec += 1;
    std::size_t onDisk = 0;
    for (const auto& item : std::filesystem::recursive_directory_iterator(root))
        onDisk += item.is_regular_file() ? 1 : 0;
    EXPECT_EQ(onDisk, files.size());
    for (const auto& [stored, want] : expected) {
        struct stat st {};
        ASSERT_EQ(::stat(want.hostPath.c_str(), &st), 0) << want.hostPath;
        const FileTime modified = fileTimeFromTimespec(st.st_mtim);
        if (std::optional<FileTime> time = expectedTime(want.file->time)) {
            EXPECT_EQ(modified, *time) << want.hostPath;
            EXPECT_EQ(fileTimeFromTimespec(st.st_atim), *time) << want.hostPath;
        } else {
            EXPECT_GE(modified, fileTimeFromTimespec(before)) << want.hostPath;
            EXPECT_LE(modified, fileTimeFromTimespec(after)) << want.hostPath;
        }
        EXPECT_EQ(test::readFile(want.hostPath), want.file->data) << want.hostPath;
    }
    EXPECT_EQ(sink.count(), 0u);
}

TEST(RoundTrip, GeneratedTreesInTheDefaultCodePage) {
    for (std::uint64_t seed = 1; seed <= 12; ++seed) {
        roundTrip(seed, 1252);
        if (::testing::Test::HasFailure()) break;
    }
}

TEST(RoundTrip, GeneratedTreesInEveryOtherCodePage) {
    for (int page = 1250; page <= 1258; ++page) {
        if (page == 1252) continue;
        roundTrip(static_cast<std::uint64_t>(page), page);
        if (::testing::Test::HasFailure()) break;
    }
}

}  // namespace
}  // namespace quillomar
