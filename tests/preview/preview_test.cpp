// What the preview shows: the kind chosen for an entry's bytes and name, text in UTF-8 or the code
// page, the hex dump, and whole previews read from an archive.
#include <gtest/gtest.h>

#include <cerrno>
#include <span>

#include "archive/podarchive.h"
#include "imagefiles.h"
#include "preview/pictureformat.h"
#include "preview/preview.h"
#include "preview/textdump.h"
#include "testutil.h"

namespace quillomar {
namespace {

using namespace std::string_literals;

std::span<const std::byte> bytesOf(const std::string& text) {
    return std::as_bytes(std::span(text.data(), text.size()));
}

const CodePage& cp1252() {
    static const CodePage page = *CodePage::load(1252);
    return page;
}

struct FormatCase {
    std::string what;
    std::string name;
    std::string head;
    PictureFormat format;
};

void PrintTo(const FormatCase& c, std::ostream* out) { *out << c.what; }

std::string bmpHead(std::uint32_t infoSize) {
    std::string head = "BM" + std::string(16, '\0');
    test::putLe32(head, 14, infoSize);
    return head;
}

class PictureFormatTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(PictureFormatTest, ChoosesBySignatureThenExtension) {
    const FormatCase& c = GetParam();
    EXPECT_EQ(pictureFormat(c.name, bytesOf(c.head)), c.format);
}

INSTANTIATE_TEST_SUITE_P(Entries, PictureFormatTest,
                         ::testing::ValuesIn(std::vector<FormatCase>{
                             {"PNG signature", "A.DAT", "\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR"s, PictureFormat::Png},
                             {"PNG signature cut short", "A.DAT", "\x89PNG\r\n"s, PictureFormat::None},
                             {"JPEG signature", "PHOTO", "\xFF\xD8\xFF\xE0\0\x10JFIF"s, PictureFormat::Jpeg},
                             {"GIF87a", "X", "GIF87a\x10\0\x10\0"s, PictureFormat::Gif},
                             {"GIF89a", "X", "GIF89a\x10\0\x10\0"s, PictureFormat::Gif},
                             {"GIF of an unknown version", "X", "GIF90a\x10\0\x10\0"s, PictureFormat::None},
                             {"BMP with an info header", "X", bmpHead(40), PictureFormat::Bmp},
                             {"BMP with a version 5 header", "X", bmpHead(124), PictureFormat::Bmp},
                             {"BMP with an OS/2 header", "X", bmpHead(12), PictureFormat::Bmp},
                             {"text starting with BM", "NOTES.TXT", "BMW and Bugatti were..."s, PictureFormat::None},
                             {"TGA by extension", "ART\\SKY.TGA", "\0\0\x02"s, PictureFormat::Tga},
                             {"TGA extension in lower case", "art/sky.tga", "\0\0\x02"s, PictureFormat::Tga},
                             {"PCX by extension", "ART\\TITLE.Pcx", "\x0A\x05\x01\x08"s, PictureFormat::Pcx},
                             {"signature before extension", "ART\\REALLY_A_PNG.TGA", "\x89PNG\r\n\x1A\n"s,
                              PictureFormat::Png},
                             {"extension of a folder only", "ART.TGA\\README", "text"s, PictureFormat::None},
                             {"no extension", "TGA", "text"s, PictureFormat::None},
                         }),
                         [](const auto& row) { return test::caseName(row.param.what); });

std::string pngHead(std::uint32_t width, std::uint32_t height) {
    std::string head = "\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR"s + std::string(8, '\0') + "\x08\x06\0\0\0"s;
    for (int i = 0; i < 4; ++i) {
        head[16 + i] = static_cast<char>(width >> (24 - 8 * i));
        head[20 + i] = static_cast<char>(height >> (24 - 8 * i));
    }
    return head;
}

std::string bmpHead(std::uint32_t infoSize, std::uint32_t width, std::uint32_t height) {
    std::string head = bmpHead(infoSize) + std::string(12, '\0');
    if (infoSize == 12) {
        head[18] = static_cast<char>(width & 0xFF), head[19] = static_cast<char>(width >> 8);
        head[20] = static_cast<char>(height & 0xFF), head[21] = static_cast<char>(height >> 8);
    } else {
        test::putLe32(head, 18, width);
        test::putLe32(head, 22, height);
    }
    return head;
}

// A JPEG start: an APP0 segment, then a frame header of the given size (marker 0xC0 or 0xC2).
std::string jpegHead(std::uint32_t width, std::uint32_t height, unsigned frame = 0xC0) {
    std::string head = "\xFF\xD8\xFF\xE0\0\x10JFIF\0\x01\x01\0\0\x01\0\x01\0\0"s;
    head += "\xFF\xC4\0\x03\x00"s;  // a table segment, not a frame
    head += "\xFF"s + static_cast<char>(frame) + "\0\x11\x08"s;
    head += static_cast<char>(height >> 8), head += static_cast<char>(height & 0xFF);
    head += static_cast<char>(width >> 8), head += static_cast<char>(width & 0xFF);
    return head + "\x03"s;
}

struct SizeCase {
    std::string what;
    PictureFormat format;
    std::string head;
    std::optional<std::pair<std::uint64_t, std::uint64_t>> size;
};

void PrintTo(const SizeCase& c, std::ostream* out) { *out << c.what; }

class ClaimedSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(ClaimedSizeTest, ReadsTheSizeFromTheHeader) {
    const SizeCase& c = GetParam();
    const std::optional<PictureSize> size = claimedSize(c.format, bytesOf(c.head));
    ASSERT_EQ(size.has_value(), c.size.has_value());
    if (size) {
        EXPECT_EQ(std::make_pair(size->width, size->height), *c.size);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Headers, ClaimedSizeTest,
    ::testing::ValuesIn(std::vector<SizeCase>{
        {"PNG", PictureFormat::Png, pngHead(640, 480), std::pair{640, 480}},
        {"PNG of 2^31 pixels a side", PictureFormat::Png, pngHead(0x80000000, 1), std::pair{0x80000000, 1}},
        {"PNG cut before its size", PictureFormat::Png, pngHead(640, 480).substr(0, 20), std::nullopt},
        {"GIF", PictureFormat::Gif, "GIF89a\x40\x01\xF0\x00"s, std::pair{320, 240}},
        {"BMP bottom-up", PictureFormat::Bmp, bmpHead(40, 800, 600), std::pair{800, 600}},
        {"BMP top-down", PictureFormat::Bmp, bmpHead(124, 800, static_cast<std::uint32_t>(-600)), std::pair{800, 600}},
        {"BMP of the most negative height", PictureFormat::Bmp, bmpHead(40, 1, 0x80000000), std::pair{1, 0x80000000}},
        {"BMP with an OS/2 header", PictureFormat::Bmp, bmpHead(12, 300, 200), std::pair{300, 200}},
        {"JPEG baseline", PictureFormat::Jpeg, jpegHead(1024, 768), std::pair{1024, 768}},
        {"JPEG progressive", PictureFormat::Jpeg, jpegHead(65535, 65535, 0xC2), std::pair{65535, 65535}},
        {"JPEG cut inside its frame header", PictureFormat::Jpeg, jpegHead(1024, 768).substr(0, 30), std::nullopt},
        {"JPEG whose segments lose their marks", PictureFormat::Jpeg, "\xFF\xD8\xFF\xE0\0\x02garbage"s, std::nullopt},
        {"TGA: none claimed", PictureFormat::Tga, "anything"s, std::nullopt},
    }),
    [](const auto& row) { return test::caseName(row.param.what); });

struct TextCase {
    std::string what;
    std::string bytes;
    Cut cut;
    std::optional<std::string> text;  // nullopt: not text
};

void PrintTo(const TextCase& c, std::ostream* out) { *out << c.what; }

class TextDetectionTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextDetectionTest, ReadsTextAndRefusesBinary) {
    const TextCase& c = GetParam();
    EXPECT_EQ(textFromBytes(bytesOf(c.bytes), c.cut, cp1252()), c.text);
}

std::string withControls(std::size_t length, std::size_t every) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i) text.push_back(i % every == 0 ? '\x01' : 'a');
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, TextDetectionTest,
    ::testing::ValuesIn(std::vector<TextCase>{
        {"empty", "", Cut::No, ""},
        {"ASCII lines", "line one\r\nline two\n\tindented\f\x1A", Cut::No, "line one\r\nline two\n\tindented\f\x1A"},
        {"UTF-8 kept as it is", "caf\xC3\xA9 \xE2\x82\xAC 5", Cut::No, "caf\xC3\xA9 \xE2\x82\xAC 5"},
        {"UTF-8 byte-order mark dropped", "\xEF\xBB\xBFhello", Cut::No, "hello"},
        {"code page 1252 converted", "caf\xE9 \x80 5", Cut::No, "caf\xC3\xA9 \xE2\x82\xAC 5"},
        {"UTF-8 character cut at the limit left out", "abc\xE2\x82", Cut::Yes, "abc"},
        {"the same bytes ending the entry are code-page text", "abc\xE2\x82", Cut::No, "abc\xC3\xA2\xE2\x80\x9A"},
        {"overlong UTF-8 read as code page", "\xC0\xAF", Cut::No, "\xC3\x80\xC2\xAF"},
        {"a NUL: not text", "abc\0def"s, Cut::No, std::nullopt},
        {"a NUL in code-page text: not text", "caf\xE9\0"s, Cut::No, std::nullopt},
        {"one control in fifty is text", withControls(100, 50), Cut::No, withControls(100, 50)},
        {"one control in ten is not", withControls(100, 10), Cut::No, std::nullopt},
        {"undefined code-page bytes count as controls", std::string(10, '\x81') + std::string(40, 'a'), Cut::No,
         std::nullopt},
    }),
    [](const auto& row) { return test::caseName(row.param.what); });

TEST(HexDump, LinesOfOffsetBytesAndCharacters) {
    std::string bytes = "Hello, w\xE9rld!\r\n\0\x81\xA0\xFF"s;
    EXPECT_EQ(hexDump(bytesOf(bytes), cp1252()),
              "00000000  48 65 6C 6C 6F 2C 20 77  E9 72 6C 64 21 0D 0A 00  Hello, w\xC3\xA9rld!...\n"
              "00000010  81 A0 FF                                          ..\xC3\xBF\n");
    EXPECT_EQ(hexDump({}, cp1252()), "");
    // The offset column counts on past 64 KiB.
    const std::string dump = hexDump(bytesOf(std::string(0x10010, 'x')), cp1252());
    EXPECT_NE(dump.find("\n00010000  78 78"), std::string::npos);
}

// Previews of entries read from a real archive.
class MakePreviewTest : public ::testing::Test {
protected:
    const ArchiveEntry& open(const std::vector<test::RawEntry>& entries) {
        test::writeFile(dir / "a.pod", test::layOutPod3(entries, "", "", "", 0));
        EXPECT_EQ(archive.open(dir / "a.pod"), 1);
        EXPECT_EQ(archive.readDirectory(), 1);
        return archive.entries().front();
    }

    test::TempDir dir;
    test::RecordingSink sink;
    PodArchive archive;
};

TEST_F(MakePreviewTest, TextShowsTheFirst64KiB) {
    std::string text;
    while (text.size() < 100 * 1024) text += "line " + std::to_string(text.size()) + " \xE9t\xE9\n";
    Preview preview = makePreview(archive, open({{"DOC\\LONG.TXT", text}}));
    ASSERT_EQ(preview.kind, PreviewKind::Text);
    EXPECT_TRUE(preview.partial);
    EXPECT_EQ(preview.text, cp1252().toUtf8(std::string_view(text).substr(0, kPreviewTextBytes)));

    Preview whole = makePreview(archive, open({{"SHORT.TXT", "short"}}));
    ASSERT_EQ(whole.kind, PreviewKind::Text);
    EXPECT_FALSE(whole.partial);
    EXPECT_EQ(whole.text, "short");
}

TEST_F(MakePreviewTest, BinaryShowsAHexDumpOfTheFirst4KiB) {
    std::string binary;
    for (int i = 0; i < 10000; ++i) binary.push_back(static_cast<char>(i * 7));
    Preview preview = makePreview(archive, open({{"DATA\\LEVEL.BIN", binary}}));
    ASSERT_EQ(preview.kind, PreviewKind::Hex);
    EXPECT_TRUE(preview.partial);
    EXPECT_EQ(preview.text, hexDump(bytesOf(binary.substr(0, kPreviewHexBytes)), cp1252()));
}

TEST_F(MakePreviewTest, PicturesAreDecodedOrHandedToTheToolkit) {
    const test::Picture picture = test::patternPicture(12, 9, true);
    Preview tga = makePreview(
        archive,
        open({{"ART\\SKY.TGA", test::encodeTga(picture, {.imageType = 10, .pixelBits = 32, .attributeBits = 8})}}));
    ASSERT_EQ(tga.kind, PreviewKind::Picture) << tga.reason;
    EXPECT_EQ(tga.format, "TGA");
    EXPECT_EQ(tga.image.pixels, picture.pixels);

    const test::Picture rgb = test::patternPicture(80, 70);  // larger than what is read to choose the kind
    Preview pcx =
        makePreview(archive, open({{"ART\\TITLE.PCX", test::encodePcx(rgb, {.bitsPerPixel = 8, .planes = 3})}}));
    ASSERT_EQ(pcx.kind, PreviewKind::Picture) << pcx.reason;
    EXPECT_EQ(pcx.image.pixels, rgb.pixels);

    std::string png = pngHead(64, 32) + std::string(70000, 'p');  // more than is read to choose the kind
    Preview toolkit = makePreview(archive, open({{"ICON.DAT", png}}));
    ASSERT_EQ(toolkit.kind, PreviewKind::ToolkitPicture);
    EXPECT_EQ(toolkit.format, "PNG");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(toolkit.bytes.data()), toolkit.bytes.size()), png);
}

TEST_F(MakePreviewTest, AToolkitPictureBeyondTheBoundsIsNotHandedOn) {
    Preview preview = makePreview(archive, open({{"HUGE.PNG", pngHead(20000, 20000) + "rest"}}));
    EXPECT_EQ(preview.kind, PreviewKind::Unavailable);
    EXPECT_EQ(preview.failure.error, EFBIG);
    EXPECT_TRUE(preview.bytes.empty());

    Preview fits = makePreview(archive, open({{"WIDE.JPG", jpegHead(16384, 4096)}}));
    EXPECT_EQ(fits.kind, PreviewKind::ToolkitPicture);

    // A frame header beyond the first 64 KiB, after two large metadata segments.
    const std::string segment = "\xFF\xE1\xFF\xFF"s + std::string(0xFFFD, 'm');
    const std::string late = jpegHead(30000, 30000).insert(2, segment + segment);
    Preview far = makePreview(archive, open({{"LATE.JPG", late}}));
    EXPECT_EQ(far.kind, PreviewKind::Unavailable);
    EXPECT_EQ(far.failure.error, EFBIG);
}

TEST_F(MakePreviewTest, ADamagedPictureIsUnavailableWithItsReason) {
    const std::string file = test::encodeTga(test::patternPicture(12, 9), {.imageType = 2, .pixelBits = 24});
    Preview preview = makePreview(archive, open({{"ART\\CUT.TGA", file.substr(0, file.size() / 2)}}));
    EXPECT_EQ(preview.kind, PreviewKind::Unavailable);
    EXPECT_EQ(preview.reason, "the picture is cut short");
    EXPECT_EQ(preview.failure.error, EINVAL);
    EXPECT_EQ(sink.count(), 0u);  // the window decides what the user sees
}

TEST_F(MakePreviewTest, AnEntryThatCannotBeReadIsUnavailable) {
    const ArchiveEntry& entry = open({{"A.TXT", "alpha"}});
    ArchiveEntry beyond = entry;
    beyond.offset = static_cast<std::uint32_t>(archive.fileBytes() - 2);  // its data runs past the file's end
    Preview preview = makePreview(archive, beyond);
    EXPECT_EQ(preview.kind, PreviewKind::Unavailable);
    EXPECT_EQ(preview.reason, "the entry could not be read");
    EXPECT_EQ(preview.failure.error, ENODATA);  // the file ended early
    EXPECT_EQ(preview.failure.path, archive.path());
    EXPECT_EQ(sink.count(), 0u);
}

}  // namespace
}  // namespace quillomar
