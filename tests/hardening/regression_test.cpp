// Inputs that once broke the engine, each kept as the bytes that showed it, named after the symptom.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "archive/podarchive.h"
#include "archive/storedname.h"
#include "archive/timestamp.h"
#include "packer/sourcelist.h"
#include "platform/codepage.h"
#include "platform/filetime.h"
#include "testutil.h"

namespace quillomar {
namespace {

using test::TempDir;
using test::writeFile;

// Found by fuzz_names: the seconds of a file time read from the bytes "rive.txt" (year 266 billion)
// overflowed the 64-bit count of 100-ns intervals.
TEST(Regression, FarFutureFileTimeDoesNotOverflow) {
    const char bytes[] = {'\x02', 'C', ':', '\\', 'd', 'r', 'i', 'v', 'e', '.', 't', 'x', 't'};
    std::int64_t seconds = 0;
    std::memcpy(&seconds, bytes + 5, sizeof seconds);
    ASSERT_EQ(seconds, 8392585648224495986LL);
    for (std::int64_t s : {seconds, -seconds, INT64_MAX, INT64_MIN + 1}) {
        struct timespec ts {};
        ts.tv_sec = static_cast<time_t>(s);
        ts.tv_nsec = 999999999;
        const FileTime time = fileTimeFromTimespec(ts);
        EXPECT_EQ(time > kUnixEpochFileTime, s > 0) << s;
        EXPECT_FALSE(fileTimeToDosDateTime(time).has_value()) << s;
        EXPECT_EQ(encodeTimestamp(time), kTimestampBias) << s;
    }
}

// tmpfs keeps any 64-bit time: such a file packs with no time rather than a wrapped one.
TEST(Regression, FileWithAFarFutureTimeOnTmpfsPacksWithNoTime) {
    if (::access("/dev/shm", W_OK) != 0) GTEST_SKIP() << "no writable /dev/shm";
    char pattern[] = "/dev/shm/quillomar-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string folder = pattern;
    writeFile(folder + "/src/far.txt", "far");
    struct timespec times[2] = {{std::int64_t{1} << 50, 0}, {std::int64_t{1} << 50, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (folder + "/src/far.txt").c_str(), times, 0), 0);
    struct stat st {};
    ASSERT_EQ(::stat((folder + "/src/far.txt").c_str(), &st), 0);
    if (st.st_mtim.tv_sec != times[1].tv_sec) {
        std::filesystem::remove_all(folder);
        GTEST_SKIP() << "/dev/shm does not keep such a time";
    }

    ASSERT_EQ(test::pack(test::scan(folder + "/src"), folder + "/out.pod"), 1);
    const std::string bytes = test::readFile(folder + "/out.pod");
    std::filesystem::remove_all(folder);
    EXPECT_EQ(test::getLe32(bytes, 288 + 3 + 12), kTimestampBias);
}

// Found by fuzz_names: the host name "C:" (input 03 43 3A, code page 1253) was stored as it was,
// and extraction then refused the stored name as a drive designator: packed, never extractable.
TEST(Regression, HostNameThatReadsAsADriveIsRefusedWhenPacking) {
    const unsigned char input[] = {0x03, 'C', ':'};
    ASSERT_TRUE(setArchiveCodePage(1250 + input[0] % 9));
    const std::string_view host(reinterpret_cast<const char*>(input + 1), sizeof input - 1);
    StoredNameResult stored = storedNameFromHostPath(host);
    EXPECT_FALSE(stored.name.has_value());
    EXPECT_EQ(stored.error, EINVAL);
    ASSERT_TRUE(setArchiveCodePage(1252));

    // The same for a first character that is two bytes in UTF-8 and one in the code page.
    EXPECT_EQ(storedNameFromHostPath("\xC3\xA9:x/y").error, EINVAL);
    EXPECT_EQ(storedNameFromHostPath("ab:c/d:e").name, "AB:C\\D:E");

    TempDir dir;
    writeFile(dir / "src/a.txt", "a");
    writeFile(dir / "src/c:x", "c");
    test::RecordingSink sink;
    EXPECT_EQ(test::pack(test::scan(dir / "src"), dir / "out.pod"), 0);
    EXPECT_FALSE(test::exists(dir / "out.pod"));
    EXPECT_EQ(sink.systemErrors, std::vector<std::string>{"Invalid argument\n==> " + dir / "src/c:x"});
}

}  // namespace
}  // namespace quillomar
