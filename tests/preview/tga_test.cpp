// The TGA decoder: every image type and depth, each origin, the footer's word on alpha, compared
// pixel by pixel with the picture encoded; and damaged or oversized files refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <span>

#include "imagefiles.h"
#include "preview/tga.h"
#include "testutil.h"

namespace quillomar {
namespace {

using test::Picture;
using test::TgaLayout;

std::span<const std::byte> bytesOf(const std::string& file) {
    return std::as_bytes(std::span(file.data(), file.size()));
}

// The colour a channel keeps when stored in 5 bits.
std::uint32_t fiveBits(std::uint32_t channel) {
    const std::uint32_t v = channel >> 3;
    return (v << 3) | (v >> 2);
}

std::uint32_t quantise555(std::uint32_t colour) {
    return (colour & 0xFF000000) | fiveBits((colour >> 16) & 0xFF) << 16 | fiveBits((colour >> 8) & 0xFF) << 8 |
           fiveBits(colour & 0xFF);
}

Picture opaque(Picture picture) {
    for (std::uint32_t& p : picture.pixels) p |= 0xFF000000;
    return picture;
}

// A picture of few colours, for the colour-mapped types.
Picture fewColours(const std::vector<std::uint32_t>& colours, std::uint32_t width, std::uint32_t height) {
    Picture picture{width, height, {}};
    for (std::uint32_t i = 0; i < width * height; ++i)
        picture.pixels.push_back(colours[(i * 7 + i / width) % colours.size()]);
    return picture;
}

Picture greys(std::uint32_t width, std::uint32_t height, bool withAlpha) {
    Picture picture{width, height, {}};
    for (std::uint32_t i = 0; i < width * height; ++i) {
        const std::uint32_t g = (i * 23) & 0xFF;
        const std::uint32_t a = withAlpha ? (i * 41 + 1) & 0xFF : 0xFF;
        picture.pixels.push_back(a << 24 | g << 16 | g << 8 | g);
    }
    return picture;
}

struct DecodeCase {
    std::string what;
    Picture picture;  // what is encoded and what must come back
    TgaLayout layout;
    bool shownOpaque = false;  // the alpha stored is not the picture's: it comes back opaque
};

void PrintTo(const DecodeCase& c, std::ostream* out) { *out << c.what; }

const std::vector<std::uint32_t> kMap = {0xFF102030, 0xFFFFFFFF, 0xFF000000, 0xFFC08040, 0xFF00FF00, 0xFF0000FF};
const std::vector<std::uint32_t> kMapWithAlpha = {0x80102030, 0x00FFFFFF, 0xFF000000, 0x40C08040};
// Colours that 5 bits a channel keep exactly.
const std::vector<std::uint32_t> kMap555 = {0xFF0842FF, 0xFFFFFFFF, 0xFF000000, 0xFF84C6A5};

std::vector<DecodeCase> decodeCases() {
    const Picture rgb = test::patternPicture(7, 5);
    const Picture rgba = test::patternPicture(7, 5, true);
    Picture rgb555 = rgb;
    for (std::uint32_t& p : rgb555.pixels) p = quantise555(p);
    Picture argb1555 = rgb555;
    for (std::size_t i = 0; i < argb1555.pixels.size(); ++i) argb1555.pixels[i] &= i % 3 == 0 ? 0x00FFFFFF : 0xFFFFFFFF;
    // Runs of one colour, some passing from one line into the next.
    Picture runs{9, 4, {}};
    for (std::uint32_t i = 0; i < 36; ++i)
        runs.pixels.push_back(i < 13 ? 0xFF112233 : i < 14 ? 0xFF445566 : 0xFF778899);
    Picture runs555 = runs;
    for (std::uint32_t& p : runs555.pixels) p = quantise555(p);

    return {
        {"true colour 24 bits, bottom-up", rgb, {.imageType = 2, .pixelBits = 24}},
        {"true colour 24 bits, top-down", rgb, {.imageType = 2, .pixelBits = 24, .topDown = true}},
        {"true colour 24 bits, right to left", rgb, {.imageType = 2, .pixelBits = 24, .rightToLeft = true}},
        {"true colour 24 bits, top right origin",
         rgb,
         {.imageType = 2, .pixelBits = 24, .topDown = true, .rightToLeft = true}},
        {"true colour 32 bits with alpha", rgba, {.imageType = 2, .pixelBits = 32, .attributeBits = 8}},
        {"true colour 15 bits", rgb555, {.imageType = 2, .pixelBits = 15}},
        {"true colour 16 bits, no attribute bit: opaque", argb1555, {.imageType = 2, .pixelBits = 16}, true},
        {"true colour 16 bits with an alpha bit", argb1555, {.imageType = 2, .pixelBits = 16, .attributeBits = 1}},
        {"run-length 24 bits", rgb, {.imageType = 10, .pixelBits = 24}},
        {"run-length 24 bits, runs across lines", runs, {.imageType = 10, .pixelBits = 24}},
        {"run-length 32 bits, top-down, right to left",
         rgba,
         {.imageType = 10, .pixelBits = 32, .attributeBits = 8, .topDown = true, .rightToLeft = true}},
        {"run-length 16 bits", runs555, {.imageType = 10, .pixelBits = 16}},
        {"colour map of 24-bit entries",
         fewColours(kMap, 6, 4),
         {.imageType = 1, .pixelBits = 8, .mapEntryBits = 24, .colourMap = kMap}},
        {"colour map starting at entry 3",
         fewColours(kMap, 6, 4),
         {.imageType = 1, .pixelBits = 8, .mapEntryBits = 24, .mapFirst = 3, .colourMap = kMap}},
        {"colour map of 32-bit entries with alpha",
         fewColours(kMapWithAlpha, 5, 3),
         {.imageType = 1, .pixelBits = 8, .mapEntryBits = 32, .attributeBits = 8, .colourMap = kMapWithAlpha}},
        {"colour map of 15-bit entries",
         fewColours(kMap555, 5, 3),
         {.imageType = 1, .pixelBits = 8, .mapEntryBits = 15, .colourMap = kMap555}},
        {"colour map of 16-bit entries",
         fewColours(kMap555, 5, 3),
         {.imageType = 1, .pixelBits = 8, .mapEntryBits = 16, .colourMap = kMap555}},
        {"colour map with 16-bit indices",
         fewColours(kMap, 6, 4),
         {.imageType = 1, .pixelBits = 16, .mapEntryBits = 24, .mapFirst = 300, .colourMap = kMap}},
        {"run-length colour map",
         fewColours(kMap, 8, 8),
         {.imageType = 9, .pixelBits = 8, .mapEntryBits = 24, .topDown = true, .colourMap = kMap}},
        {"greyscale 8 bits", greys(6, 5, false), {.imageType = 3, .pixelBits = 8}},
        {"greyscale 16 bits with alpha", greys(6, 5, true), {.imageType = 3, .pixelBits = 16, .attributeBits = 8}},
        {"run-length greyscale", greys(6, 5, false), {.imageType = 11, .pixelBits = 8, .topDown = true}},
        {"image ID field skipped", rgb, {.imageType = 2, .pixelBits = 24, .imageId = std::string(255, 'I')}},
        {"footer without extension area", rgba, {.imageType = 2, .pixelBits = 32, .attributeBits = 8, .footer = true}},
        {"extension area: useful alpha",
         rgba,
         {.imageType = 2, .pixelBits = 32, .attributeBits = 8, .footer = true, .attributesType = 3}},
        {"extension area: no alpha, shown opaque",
         rgba,
         {.imageType = 2, .pixelBits = 32, .attributeBits = 8, .footer = true, .attributesType = 0},
         true},
        {"extension area: undefined alpha, shown opaque",
         rgba,
         {.imageType = 10, .pixelBits = 32, .attributeBits = 8, .footer = true, .attributesType = 2},
         true},
        {"alpha zero everywhere shown opaque",
         [&] {
             Picture clear = rgb;
             for (std::uint32_t& p : clear.pixels) p &= 0x00FFFFFF;
             return clear;
         }(),
         {.imageType = 2, .pixelBits = 32},
         true},
    };
}

Picture expected(const DecodeCase& c) { return c.shownOpaque ? opaque(c.picture) : c.picture; }

class TgaDecodeTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(TgaDecodeTest, GivesThePictureBackPixelByPixel) {
    const DecodeCase& c = GetParam();
    const std::string file = test::encodeTga(c.picture, c.layout);
    Result<Image> image = decodeTga(bytesOf(file));
    ASSERT_TRUE(image.ok()) << image.failure().detail << " at " << image.failure().offset;
    const Picture want = expected(c);
    EXPECT_EQ(image->width, want.width);
    EXPECT_EQ(image->height, want.height);
    ASSERT_EQ(image->pixels.size(), want.pixels.size());
    for (std::size_t i = 0; i < want.pixels.size(); ++i) {
        ASSERT_EQ(image->pixels[i], want.pixels[i]) << "pixel " << i % want.width << ", " << i / want.width;
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, TgaDecodeTest, ::testing::ValuesIn(decodeCases()),
                         [](const auto& row) { return test::caseName(row.param.what); });

TEST(TgaDecode, UnpremultipliesPremultipliedAlpha) {
    // A half-transparent pixel stored premultiplied: R 0x40 at alpha 0x80 is R 0x80 straight.
    const Picture stored{2, 1, {0x80402010, 0xFF123456}};
    Result<Image> image = decodeTga(bytesOf(test::encodeTga(
        stored,
        {.imageType = 2, .pixelBits = 32, .attributeBits = 8, .topDown = true, .footer = true, .attributesType = 4})));
    ASSERT_TRUE(image.ok()) << image.failure().detail;
    EXPECT_EQ(image->pixels, (std::vector<std::uint32_t>{0x80804020, 0xFF123456}));
}

// Damaged and oversized files: each refused with the error that says why, never decoded.
struct RefusalCase {
    std::string what;
    std::string file;
    int error;
};

void PrintTo(const RefusalCase& c, std::ostream* out) { *out << c.what; }

std::string withByte(std::string file, std::size_t at, unsigned value) {
    file[at] = static_cast<char>(value);
    return file;
}

std::string withWord(std::string file, std::size_t at, unsigned value) {
    file[at] = static_cast<char>(value & 0xFF);
    file[at + 1] = static_cast<char>(value >> 8);
    return file;
}

std::vector<RefusalCase> refusalCases() {
    const Picture rgb = test::patternPicture(7, 5);
    const std::string raw = test::encodeTga(rgb, {.imageType = 2, .pixelBits = 24});
    const std::string rle = test::encodeTga(rgb, {.imageType = 10, .pixelBits = 24});
    const std::string mapped = test::encodeTga(fewColours(kMap, 6, 4),
                                               {.imageType = 1, .pixelBits = 8, .mapEntryBits = 24, .colourMap = kMap});
    const std::size_t mappedPixels = mapped.size() - 24;
    // Three pixels in one raw packet, made a run of 128.
    std::string overrun = test::encodeTga(Picture{3, 1, {1, 2, 3}}, {.imageType = 10, .pixelBits = 32});
    overrun[18] = static_cast<char>(0x80 | 127);

    return {
        {"header cut short", raw.substr(0, 17), EINVAL},
        {"pixels cut short", raw.substr(0, raw.size() - 1), EINVAL},
        {"run-length pixels cut short", rle.substr(0, rle.size() - 2), EINVAL},
        {"image ID past the end", withByte(raw.substr(0, 40), 0, 200), EINVAL},
        {"colour map cut short", mapped.substr(0, 18 + 10), EINVAL},
        {"packet past the end of the picture", overrun, EINVAL},
        {"colour index past the map", withByte(mapped, mappedPixels + 3, 6), EINVAL},
        {"colour index before the map's first entry", withWord(mapped, 3, 1), EINVAL},
        {"colour-mapped without a map", withByte(mapped, 1, 0), EINVAL},
        {"no picture (type 0)", withByte(raw, 2, 0), EINVAL},
        {"zero width", withWord(raw, 12, 0), EINVAL},
        {"zero height", withWord(raw, 14, 0), EINVAL},
        {"unknown colour map type", withByte(raw, 1, 7), EINVAL},
        {"width beyond 16384", withWord(raw, 12, 16385), EFBIG},
        {"16384 x 16384 beyond 256 MiB", withWord(withWord(raw, 12, 16384), 14, 16384), EFBIG},
        {"8192 x 8193 one line beyond 256 MiB", withWord(withWord(rle, 12, 8192), 14, 8193), EFBIG},
        {"large run-length picture from a few bytes", withWord(withWord(rle, 12, 8192), 14, 8192), EINVAL},
        {"unknown image type", withByte(raw, 2, 32), ENOTSUP},
        {"8-bit true colour", withByte(raw, 16, 8), ENOTSUP},
        {"12-bit colour map entries", withByte(mapped, 7, 12), ENOTSUP},
        {"interleaved lines", withByte(raw, 17, 0x40), ENOTSUP},
    };
}

class TgaRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(TgaRefusalTest, RefusesWithAReason) {
    const RefusalCase& c = GetParam();
    Result<Image> image = decodeTga(bytesOf(c.file));
    ASSERT_FALSE(image.ok());
    EXPECT_EQ(image.failure().error, c.error) << image.failure().detail;
    EXPECT_FALSE(image.failure().detail.empty());
    EXPECT_LE(image.failure().offset, c.file.size());
}

INSTANTIATE_TEST_SUITE_P(Damaged, TgaRefusalTest, ::testing::ValuesIn(refusalCases()),
                         [](const auto& row) { return test::caseName(row.param.what); });

TEST(TgaDecode, EveryCutOfAFileIsRefusedOrWhole) {
    // Any prefix of a run-length file either decodes to the whole picture (the footer cut off) or is refused.
    const Picture rgba = test::patternPicture(6, 4, true);
    const std::string file = test::encodeTga(
        rgba, {.imageType = 10, .pixelBits = 32, .attributeBits = 8, .footer = true, .attributesType = 3});
    for (std::size_t length = 0; length < file.size(); ++length) {
        Result<Image> image = decodeTga(bytesOf(file).first(length));
        if (image.ok()) {
            EXPECT_EQ(image->pixels, rgba.pixels) << "cut at " << length;
        }
    }
}

}  // namespace
}  // namespace quillomar
