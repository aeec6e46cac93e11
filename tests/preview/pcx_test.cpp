// The PCX decoder: every depth and plane layout, padded lines, runs across lines, compared pixel
// by pixel with the picture encoded; and damaged or oversized files refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <span>

#include "imagefiles.h"
#include "preview/pcx.h"
#include "testutil.h"

namespace quillomar {
namespace {

using test::PcxLayout;
using test::Picture;

std::span<const std::byte> bytesOf(const std::string& file) {
    return std::as_bytes(std::span(file.data(), file.size()));
}

// A picture of the palette's colours, in an order that shows flips and shifts.
Picture paletted(const std::vector<std::uint32_t>& palette, std::uint32_t width, std::uint32_t height) {
    Picture picture{width, height, {}};
    for (std::uint32_t i = 0; i < width * height; ++i)
        picture.pixels.push_back(palette[(i * 5 + i / width * 3) % palette.size()]);
    return picture;
}

std::vector<std::uint32_t> ramp(std::size_t count, std::uint32_t seed) {
    std::vector<std::uint32_t> colours;
    for (std::uint32_t i = 0; i < count; ++i) colours.push_back(0xFF000000 | ((i * seed) & 0xFFFFFF) | i);
    return colours;
}

const std::vector<std::uint32_t> kBlackWhite = {0xFF000000, 0xFFFFFFFF};
const std::vector<std::uint32_t> kTwo = {0xFF203040, 0xFFC0D0E0};
// Version 3 files carry no palette; this is the one they are shown in.
const std::vector<std::uint32_t> kDefault16 = {
    0xFF000000, 0xFF0000AA, 0xFF00AA00, 0xFF00AAAA, 0xFFAA0000, 0xFFAA00AA, 0xFFAA5500, 0xFFAAAAAA,
    0xFF555555, 0xFF5555FF, 0xFF55FF55, 0xFF55FFFF, 0xFFFF5555, 0xFFFF55FF, 0xFFFFFF55, 0xFFFFFFFF,
};

struct DecodeCase {
    std::string what;
    Picture picture;  // what is encoded
    PcxLayout layout;
    std::optional<Picture> shown = std::nullopt;  // what must come back, when not the picture itself
};

// The picture with each colour of from replaced by the colour at its place in to.
Picture recoloured(Picture picture, const std::vector<std::uint32_t>& from, const std::vector<std::uint32_t>& to) {
    for (std::uint32_t& p : picture.pixels)
        p = to[static_cast<std::size_t>(std::find(from.begin(), from.end(), p) - from.begin())];
    return picture;
}

void PrintTo(const DecodeCase& c, std::ostream* out) { *out << c.what; }

std::vector<DecodeCase> decodeCases() {
    const std::vector<std::uint32_t> sixteen = ramp(16, 0x10305);
    const std::vector<std::uint32_t> four = ramp(4, 0x402010);
    const std::vector<std::uint32_t> eight = ramp(8, 0x204081);
    // 256 colours, indices from 0xC0 up among them (stored escaped).
    const std::vector<std::uint32_t> all = ramp(256, 0x010101 * 3 + 0x10000);
    Picture opaqueRgb = test::patternPicture(11, 6);
    Picture rgba = test::patternPicture(11, 6, true);
    Picture flat{70, 3, std::vector<std::uint32_t>(210, 0xFFC8C8C8)};  // runs longer than 63 and across lines

    return {
        {"1 bit, black and white",
         paletted(kBlackWhite, 13, 5),
         {.bitsPerPixel = 1, .planes = 1, .palette = kBlackWhite}},
        {"1 bit, version 3: black and white",
         paletted(kTwo, 9, 3),
         {.version = 3, .bitsPerPixel = 1, .planes = 1, .palette = kTwo},
         recoloured(paletted(kTwo, 9, 3), kTwo, kBlackWhite)},
        {"1 bit, two header colours", paletted(kTwo, 17, 4), {.bitsPerPixel = 1, .planes = 1, .palette = kTwo}},
        {"1 bit in 4 planes, 16 colours",
         paletted(sixteen, 13, 7),
         {.bitsPerPixel = 1, .planes = 4, .palette = sixteen}},
        {"1 bit in 4 planes, version 3 default palette",
         paletted(sixteen, 10, 3),
         {.version = 3, .bitsPerPixel = 1, .planes = 4, .palette = sixteen},
         recoloured(paletted(sixteen, 10, 3), sixteen, kDefault16)},
        {"1 bit in 3 planes, 8 colours", paletted(eight, 9, 4), {.bitsPerPixel = 1, .planes = 3, .palette = eight}},
        {"1 bit in 2 planes, 4 colours", paletted(four, 9, 4), {.bitsPerPixel = 1, .planes = 2, .palette = four}},
        {"2 bits in one plane", paletted(four, 7, 3), {.bitsPerPixel = 2, .planes = 1, .palette = four}},
        {"4 bits in one plane", paletted(sixteen, 7, 5), {.bitsPerPixel = 4, .planes = 1, .palette = sixteen}},
        {"8 bits, 256 colours", paletted(all, 19, 17), {.bitsPerPixel = 8, .planes = 1, .palette = all}},
        {"8 bits, uncompressed",
         paletted(all, 5, 5),
         {.bitsPerPixel = 8, .planes = 1, .runLength = false, .palette = all}},
        {"8 bits, greyscale without palette",
         paletted(ramp(256, 0x010101), 8, 8),
         {.bitsPerPixel = 8, .planes = 1, .paletteInfo = 2, .longPalette = false, .palette = ramp(256, 0x010101)}},
        {"24 bits in 3 planes", opaqueRgb, {.bitsPerPixel = 8, .planes = 3}},
        {"32 bits in 4 planes", rgba, {.bitsPerPixel = 8, .planes = 4}},
        {"runs across lines", flat, {.bitsPerPixel = 8, .planes = 3, .runsAcrossLines = true}},
        {"lines padded beyond their pixels", opaqueRgb, {.bitsPerPixel = 8, .planes = 3, .extraLineBytes = 6}},
        {"4 planes padded",
         paletted(sixteen, 5, 4),
         {.bitsPerPixel = 1, .planes = 4, .extraLineBytes = 3, .palette = sixteen}},
        {"window not at the origin",
         paletted(all, 6, 4),
         {.bitsPerPixel = 8, .planes = 1, .xMin = 100, .yMin = 40, .palette = all}},
    };
}

class PcxDecodeTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(PcxDecodeTest, GivesThePictureBackPixelByPixel) {
    const DecodeCase& c = GetParam();
    const std::string file = test::encodePcx(c.picture, c.layout);
    Result<Image> image = decodePcx(bytesOf(file));
    ASSERT_TRUE(image.ok()) << image.failure().detail << " at " << image.failure().offset;
    const Picture& want = c.shown ? *c.shown : c.picture;
    EXPECT_EQ(image->width, want.width);
    EXPECT_EQ(image->height, want.height);
    ASSERT_EQ(image->pixels.size(), want.pixels.size());
    for (std::size_t i = 0; i < want.pixels.size(); ++i) {
        ASSERT_EQ(image->pixels[i], want.pixels[i]) << "pixel " << i % want.width << ", " << i / want.width;
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, PcxDecodeTest, ::testing::ValuesIn(decodeCases()),
                         [](const auto& row) { return test::caseName(row.param.what); });

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
    const std::vector<std::uint32_t> all = ramp(256, 0x30507);
    const std::string indexed = test::encodePcx(paletted(all, 9, 6), {.bitsPerPixel = 8, .planes = 1, .palette = all});
    const std::string rgb = test::encodePcx(test::patternPicture(9, 6), {.bitsPerPixel = 8, .planes = 3});
    // Two black lines, each one run of six zeros; the second's run mark left without its byte.
    const std::string black =
        test::encodePcx(Picture{1, 2, {0xFF000000, 0xFF000000}}, {.bitsPerPixel = 8, .planes = 3});
    const std::string runCut = black.substr(0, 128 + 2) + "\xC6";

    return {
        {"header cut short", rgb.substr(0, 127), EINVAL},
        {"no PCX manufacturer byte", withByte(rgb, 0, 0x0B), EINVAL},
        {"lines cut short", rgb.substr(0, rgb.size() - 3), EINVAL},
        {"run mark without its byte", runCut, EINVAL},
        {"256-colour palette missing", indexed.substr(0, indexed.size() - 769), EINVAL},
        {"256-colour palette without its mark", withByte(indexed, indexed.size() - 769, 0x0D), EINVAL},
        {"right edge left of the left one", withWord(withWord(rgb, 4, 5), 8, 4), EINVAL},
        {"bottom above top", withWord(rgb, 6, 10), EINVAL},
        {"line shorter than its pixels", withWord(rgb, 66, 4), EINVAL},
        {"width beyond 16384", withWord(rgb, 8, 16384), EFBIG},
        {"16384 x 16384 beyond 256 MiB", withWord(withWord(rgb, 8, 16383), 10, 16383), EFBIG},
        {"large picture from a few bytes", withWord(withWord(withWord(rgb, 66, 8192), 8, 8191), 10, 8191), EINVAL},
        {"unknown encoding", withByte(rgb, 2, 2), ENOTSUP},
        {"2 planes of 8 bits", withByte(rgb, 65, 2), ENOTSUP},
        {"3 bits a pixel", withByte(rgb, 3, 3), ENOTSUP},
        {"2 planes of 4 bits", withByte(withByte(rgb, 3, 4), 65, 2), ENOTSUP},
    };
}

class PcxRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(PcxRefusalTest, RefusesWithAReason) {
    const RefusalCase& c = GetParam();
    Result<Image> image = decodePcx(bytesOf(c.file));
    ASSERT_FALSE(image.ok());
    EXPECT_EQ(image.failure().error, c.error) << image.failure().detail;
    EXPECT_FALSE(image.failure().detail.empty());
    EXPECT_LE(image.failure().offset, c.file.size());
}

INSTANTIATE_TEST_SUITE_P(Damaged, PcxRefusalTest, ::testing::ValuesIn(refusalCases()),
                         [](const auto& row) { return test::caseName(row.param.what); });

TEST(PcxDecode, ARunPastTheLastLineIsCutThere) {
    // The last byte's run asks for more than the picture holds: the picture is whole, the rest unused.
    std::string file = test::encodePcx(Picture{2, 1, {0xFF010203, 0xFF010203}}, {.bitsPerPixel = 8, .planes = 3});
    file.resize(128);
    file += "\xFF\x01\xFF\x02\xFF\x03";  // three runs of 63
    Result<Image> image = decodePcx(bytesOf(file));
    ASSERT_TRUE(image.ok()) << image.failure().detail;
    EXPECT_EQ(image->pixels, (std::vector<std::uint32_t>{0xFF010101, 0xFF010101}));
}

}  // namespace
}  // namespace quillomar
