// Long message lines broken for the Win32 message box: at a separator in reach, else where full.

#include <gtest/gtest.h>

#include "win32/messagewrap.h"

namespace quillomar::win32 {
namespace {

struct WrapRow {
    const char* what;
    const char* text;
    std::size_t length;
    const char* wrapped;
};

class MessageWrap : public ::testing::TestWithParam<WrapRow> {};

TEST_P(MessageWrap, BreaksOnlyLinesLongerThanABoxLine) {
    const WrapRow& row = GetParam();
    EXPECT_EQ(wrapMessageText(row.text, row.length), row.wrapped) << row.what;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, MessageWrap,
    ::testing::Values(WrapRow{"short lines stay", "Access denied\n==> C:\\a.txt", 20, "Access denied\n==> C:\\a.txt"},
                      WrapRow{"exactly full", "abcdefghij", 10, "abcdefghij"},
                      WrapRow{"at the last separator", "==> C:\\games\\pod\\a.txt", 12, "==> C:\\\ngames\\pod\\\na.txt"},
                      WrapRow{"no separator: where full", "abcdefghijklmnopqrstuvwxy", 10, "abcdefghij\nklmnopqrst\nuvwxy"},
                      WrapRow{"characters, not bytes", "ééééééééééé", 5, "ééééé\nééééé\né"},
                      WrapRow{"each line on its own", "12345\n1234567", 5, "12345\n12345\n67"}));

TEST(MessageWrap, NoLineOfALongPathIsLongerThanABoxLine) {
    std::string path = "Invalid argument\n==> Z:";
    for (int i = 0; i < 40; ++i) path += "\\folder" + std::to_string(i);
    const std::string wrapped = wrapMessageText(path);
    std::size_t start = 0;
    while (start <= wrapped.size()) {
        const std::size_t end = std::min(wrapped.find('\n', start), wrapped.size());
        EXPECT_LE(end - start, kMessageLineLength);
        start = end + 1;
    }
    std::string joined = wrapped;
    std::erase(joined, '\n');
    std::string original = path;
    std::erase(original, '\n');
    EXPECT_EQ(joined, original);  // nothing lost
}

}  // namespace
}  // namespace quillomar::win32
