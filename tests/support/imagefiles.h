#pragma once
// TGA and PCX files written by the tests themselves, from the formats' public descriptions: the
// decoders' tests, the fuzz seeds and the preview benchmark build their pictures with these.

#include <cstdint>
#include <string>
#include <vector>

namespace quillomar::test {

// 0xAARRGGBB, rows top-down.
struct Picture {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint32_t> pixels;
};

// A picture of distinct colours (and alphas, when withAlpha): each pixel tells its place, so a
// flipped or shifted picture never passes for the right one.
Picture patternPicture(std::uint32_t width, std::uint32_t height, bool withAlpha = false);

struct TgaLayout {
    int imageType = 2;                       // 1, 2, 3, 9, 10, 11
    int pixelBits = 24;                      // bits of a stored pixel (an index for types 1 and 9)
    int mapEntryBits = 24;                   // types 1 and 9: bits of a colour map entry
    int mapFirst = 0;                        // types 1 and 9: the index of the first map entry
    int attributeBits = 0;                   // the descriptor's low four bits
    bool topDown = false;                    // descriptor bit 5
    bool rightToLeft = false;                // descriptor bit 4
    std::string imageId{};                   // the image ID field
    bool footer = false;                     // ends in the 2.0 footer
    int attributesType = -1;                 // with footer: an extension area saying this (0-4); -1 none
    std::vector<std::uint32_t> colourMap{};  // types 1 and 9: the map; pixels must be among its colours
};

// A TGA file of picture. True colour keeps each pixel's bits as the depth allows (5 bits a channel
// at 15 and 16 bits, the high alpha bit at 16); greyscale keeps the blue channel (and at 16 bits
// the alpha). Run-length encoding packs runs across lines, as many writers do.
std::string encodeTga(const Picture& picture, const TgaLayout& layout);

struct PcxLayout {
    int version = 5;
    int bitsPerPixel = 8;  // per plane
    int planes = 1;
    bool runLength = true;
    bool runsAcrossLines = false;  // encode the whole picture as one stream
    int extraLineBytes = 0;        // padding past the even bytesPerLine each plane needs
    int xMin = 0, yMin = 0;
    int paletteInfo = 1;
    bool longPalette = true;               // 8 bits in one plane: the 256 colours at the end
    std::vector<std::uint32_t> palette{};  // up to 16 colours in the header, or 256 at the end
};

// A PCX file of picture: indexed layouts store the index of each pixel's colour in palette (which
// must hold it); 3 planes store R, G, B, 4 planes R, G, B, A.
std::string encodePcx(const Picture& picture, const PcxLayout& layout);

}  // namespace quillomar::test
