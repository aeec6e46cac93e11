#include "imagefiles.h"

#include <algorithm>
#include <stdexcept>

namespace quillomar::test {

namespace {

void put8(std::string& out, unsigned value) { out.push_back(static_cast<char>(value & 0xFF)); }
void put16(std::string& out, unsigned value) {
    put8(out, value);
    put8(out, value >> 8);
}
void put32(std::string& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}
void putValue(std::string& out, std::uint32_t value, int bits) {
    for (int i = 0; i < (bits + 7) / 8; ++i) put8(out, value >> (8 * i));
}

std::uint32_t channel5(std::uint32_t colour, int shift) { return ((colour >> shift) & 0xFF) >> 3; }

// A colour as a stored value of bits bits (true colour or a map entry).
std::uint32_t storedColour(std::uint32_t colour, int bits) {
    switch (bits) {
        case 15:
        case 16:
            return ((colour >> 31) << 15) | channel5(colour, 16) << 10 | channel5(colour, 8) << 5 | channel5(colour, 0);
        case 24:
            return colour & 0xFFFFFF;
        default:
            return colour;
    }
}

std::size_t indexOf(const std::vector<std::uint32_t>& palette, std::uint32_t colour) {
    auto it = std::find(palette.begin(), palette.end(), colour);
    if (it == palette.end()) throw std::invalid_argument("a pixel's colour is not in the palette");
    return static_cast<std::size_t>(it - palette.begin());
}

}  // namespace

Picture patternPicture(std::uint32_t width, std::uint32_t height, bool withAlpha) {
    Picture picture{width, height, {}};
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint32_t alpha = withAlpha ? (x * 37 + y * 11 + 5) & 0xFF : 0xFF;
            picture.pixels.push_back(alpha << 24 | ((x * 29) & 0xFF) << 16 | ((y * 53) & 0xFF) << 8 |
                                     ((x ^ y) * 7 & 0xFF));
        }
    }
    return picture;
}

std::string encodeTga(const Picture& picture, const TgaLayout& layout) {
    const bool mapped = (layout.imageType & 3) == 1;
    const bool grey = (layout.imageType & 3) == 3;
    std::string out;
    put8(out, static_cast<unsigned>(layout.imageId.size()));
    put8(out, mapped ? 1 : 0);
    put8(out, static_cast<unsigned>(layout.imageType));
    put16(out, mapped ? static_cast<unsigned>(layout.mapFirst) : 0);
    put16(out, mapped ? static_cast<unsigned>(layout.colourMap.size()) : 0);
    put8(out, mapped ? static_cast<unsigned>(layout.mapEntryBits) : 0);
    put16(out, 0);
    put16(out, 0);
    put16(out, picture.width);
    put16(out, picture.height);
    put8(out, static_cast<unsigned>(layout.pixelBits));
    put8(out,
         static_cast<unsigned>(layout.attributeBits) | (layout.rightToLeft ? 0x10 : 0) | (layout.topDown ? 0x20 : 0));
    out += layout.imageId;
    if (mapped) {
        for (std::uint32_t colour : layout.colourMap)
            putValue(out, storedColour(colour, layout.mapEntryBits), layout.mapEntryBits);
    }

    // The stored values in file order.
    std::vector<std::uint32_t> values;
    for (std::uint32_t row = 0; row < picture.height; ++row) {
        const std::uint32_t y = layout.topDown ? row : picture.height - 1 - row;
        for (std::uint32_t column = 0; column < picture.width; ++column) {
            const std::uint32_t x = layout.rightToLeft ? picture.width - 1 - column : column;
            const std::uint32_t colour = picture.pixels[y * picture.width + x];
            if (mapped) {
                values.push_back(static_cast<std::uint32_t>(indexOf(layout.colourMap, colour) + layout.mapFirst));
            } else if (grey) {
                values.push_back((colour & 0xFF) | ((colour >> 24) << 8));
            } else {
                values.push_back(storedColour(colour, layout.pixelBits));
            }
        }
    }
    if (layout.imageType < 9) {
        for (std::uint32_t value : values) putValue(out, value, layout.pixelBits);
    } else {
        for (std::size_t i = 0; i < values.size();) {
            std::size_t same = 1;
            while (i + same < values.size() && same < 128 && values[i + same] == values[i]) ++same;
            if (same >= 2) {
                put8(out, 0x80 | static_cast<unsigned>(same - 1));
                putValue(out, values[i], layout.pixelBits);
                i += same;
                continue;
            }
            std::size_t raw = 1;
            while (i + raw < values.size() && raw < 128 &&
                   (i + raw + 1 >= values.size() || values[i + raw] != values[i + raw + 1]))
                ++raw;
            put8(out, static_cast<unsigned>(raw - 1));
            for (std::size_t k = 0; k < raw; ++k) putValue(out, values[i + k], layout.pixelBits);
            i += raw;
        }
    }

    if (layout.footer) {
        std::uint32_t extension = 0;
        if (layout.attributesType >= 0) {
            extension = static_cast<std::uint32_t>(out.size());
            std::string area(495, '\0');
            area[0] = static_cast<char>(495 & 0xFF);
            area[1] = static_cast<char>(495 >> 8);
            area[494] = static_cast<char>(layout.attributesType);
            out += area;
        }
        put32(out, extension);
        put32(out, 0);
        out += std::string("TRUEVISION-XFILE.\0", 18);
    }
    return out;
}

namespace {

// One plane of one line, bytesPerLine bytes.
std::string planeBytes(const Picture& picture, const PcxLayout& layout, const std::vector<std::uint32_t>& indices,
                       std::uint32_t y, int plane, std::size_t bytesPerLine) {
    std::string bytes(bytesPerLine, '\0');
    for (std::uint32_t x = 0; x < picture.width; ++x) {
        const std::uint32_t colour = picture.pixels[y * picture.width + x];
        if (layout.bitsPerPixel == 8) {
            static constexpr int kShift[] = {16, 8, 0, 24};
            bytes[x] = static_cast<char>(layout.planes == 1 ? indices[y * picture.width + x]
                                                            : (colour >> kShift[plane]) & 0xFF);
            continue;
        }
        const unsigned bits = static_cast<unsigned>(layout.bitsPerPixel);
        const std::uint32_t value = (indices[y * picture.width + x] >> (plane * bits)) & ((1u << bits) - 1);
        const std::size_t bit = x * bits;
        bytes[bit / 8] = static_cast<char>(static_cast<unsigned char>(bytes[bit / 8]) | value << (8 - bits - bit % 8));
    }
    return bytes;
}

void putRunLength(std::string& out, const std::string& bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        std::size_t same = 1;
        while (i + same < bytes.size() && same < 63 && bytes[i + same] == bytes[i]) ++same;
        const auto value = static_cast<unsigned char>(bytes[i]);
        if (same > 1 || (value & 0xC0) == 0xC0) {
            put8(out, 0xC0 | static_cast<unsigned>(same));
            put8(out, value);
        } else {
            put8(out, value);
        }
        i += same;
    }
}

}  // namespace

std::string encodePcx(const Picture& picture, const PcxLayout& layout) {
    const std::size_t needed = (picture.width * static_cast<std::size_t>(layout.bitsPerPixel) + 7) / 8;
    const std::size_t bytesPerLine = needed + (needed % 2) + static_cast<std::size_t>(layout.extraLineBytes);
    std::string out;
    put8(out, 0x0A);
    put8(out, static_cast<unsigned>(layout.version));
    put8(out, layout.runLength ? 1 : 0);
    put8(out, static_cast<unsigned>(layout.bitsPerPixel));
    put16(out, static_cast<unsigned>(layout.xMin));
    put16(out, static_cast<unsigned>(layout.yMin));
    put16(out, static_cast<unsigned>(layout.xMin) + picture.width - 1);
    put16(out, static_cast<unsigned>(layout.yMin) + picture.height - 1);
    put16(out, 72);
    put16(out, 72);
    for (std::size_t i = 0; i < 16; ++i) {
        const std::uint32_t colour = layout.palette.size() <= 16 && i < layout.palette.size() ? layout.palette[i] : 0;
        put8(out, colour >> 16);
        put8(out, colour >> 8);
        put8(out, colour);
    }
    put8(out, 0);
    put8(out, static_cast<unsigned>(layout.planes));
    put16(out, static_cast<unsigned>(bytesPerLine));
    put16(out, static_cast<unsigned>(layout.paletteInfo));
    out.resize(128, '\0');

    const bool indexed = layout.bitsPerPixel * layout.planes <= 8;
    std::vector<std::uint32_t> indices;
    if (indexed) {
        for (std::uint32_t colour : picture.pixels)
            indices.push_back(static_cast<std::uint32_t>(indexOf(layout.palette, colour)));
    }
    std::string stream;
    for (std::uint32_t y = 0; y < picture.height; ++y) {
        std::string line;
        for (int plane = 0; plane < layout.planes; ++plane)
            line += planeBytes(picture, layout, indices, y, plane, bytesPerLine);
        if (!layout.runLength) {
            out += line;
        } else if (layout.runsAcrossLines) {
            stream += line;
        } else {
            putRunLength(out, line);
        }
    }
    if (layout.runLength && layout.runsAcrossLines) putRunLength(out, stream);

    if (layout.bitsPerPixel == 8 && layout.planes == 1 && layout.longPalette) {
        put8(out, 0x0C);
        for (std::size_t i = 0; i < 256; ++i) {
            const std::uint32_t colour = i < layout.palette.size() ? layout.palette[i] : 0;
            put8(out, colour >> 16);
            put8(out, colour >> 8);
            put8(out, colour);
        }
    }
    return out;
}

}  // namespace quillomar::test
