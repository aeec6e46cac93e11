// Inputs that once broke the engine, each kept as the bytes that showed it, named after the symptom.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "archive/storedname.h"
#include "archive/timestamp.h"
#include "platform/codepage.h"
#include "platform/filetime.h"
#include "testutil.h"

namespace quillomar {
namespace {

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
    // What the writer does with such a name is PlanPack's matter (its "C:x" row).
}

}  // namespace
}  // namespace quillomar
