// Icon groups and their device-independent bitmaps.
#include "ui/resource_reader.h"
#include "ui/byte_reader.h"

namespace cyclara {

namespace {

uint32_t ColourOf(Bytes palette, unsigned index) {
    if (index * 4 + 3 >= palette.size()) {
        return 0xFF000000;
    }
    const uint8_t* bgr = palette.data() + index * 4;
    return 0xFF000000u | bgr[2] << 16 | bgr[1] << 8 | bgr[0];
}

// A bitmap's rows as stored, from the bottom, each padded to four bytes.
struct StoredRows {
    Bytes bytes;
    size_t rowSize;
};

// Pixels of `bits` bits that index the palette, where the mask's bit is clear; transparent
// where it is set. The rows were checked to hold the image's size.
void DecodePixels(IconImage& image, uint16_t bits, Bytes palette, StoredRows colours,
                  StoredRows mask) {
    for (int y = 0; y < image.height; ++y) {
        const size_t stored = static_cast<size_t>(image.height - 1 - y);
        for (int x = 0; x < image.width; ++x) {
            const size_t bit = static_cast<size_t>(x) * bits;
            const uint8_t byte = colours.bytes[stored * colours.rowSize + bit / 8];
            const unsigned index = (byte >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
            const bool transparent =
                (mask.bytes[stored * mask.rowSize + x / 8] & (0x80 >> (x % 8))) != 0;
            image.pixels[static_cast<size_t>(y) * image.width + x] =
                transparent ? 0 : ColourOf(palette, index);
        }
    }
}

// A device-independent bitmap of 1, 4 or 8 bits a pixel, with its transparency mask.
std::optional<IconImage> ReadIconImage(Bytes dib) {
    ByteReader reader(dib);
    const uint32_t headerSize = reader.U32();
    const int32_t width = static_cast<int32_t>(reader.U32());
    const int32_t doubledHeight = static_cast<int32_t>(reader.U32());
    reader.U16();
    const uint16_t bits = reader.U16();
    const uint32_t compression = reader.U32();
    reader.Skip(12);
    const uint32_t coloursUsed = reader.U32();
    // A palette holds at most one colour per pixel value: a larger count is corrupt, and
    // times four it could wrap round, in a 32-bit size_t, to a small palette.
    if (!reader.Ok() || headerSize < 40 || compression != 0 || width <= 0 || width > 256 ||
        doubledHeight <= 0 || doubledHeight > 512 || (bits != 1 && bits != 4 && bits != 8) ||
        coloursUsed > (1u << bits)) {
        return std::nullopt;
    }
    const int height = doubledHeight / 2;
    ByteReader body(dib, headerSize);
    const Bytes palette = body.Take((coloursUsed != 0 ? coloursUsed : 1u << bits) * 4);
    const size_t colourRow = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
    const size_t maskRow = (static_cast<size_t>(width) + 31) / 32 * 4;
    const Bytes colours = body.Take(colourRow * height);
    const Bytes mask = body.Take(maskRow * height);
    if (!body.Ok()) {
        return std::nullopt;
    }
    IconImage image{width, height, std::vector<uint32_t>(static_cast<size_t>(width) * height)};
    DecodePixels(image, bits, palette, {colours, colourRow}, {mask, maskRow});
    return image;
}

}  // namespace

std::optional<std::vector<IconImage>> LoadIcon(const ResourceFile& file, uint16_t id) {
    const std::optional<Bytes> group = file.Find(kRtGroupIcon, id);
    if (!group) {
        return std::nullopt;
    }
    ByteReader reader(*group);
    reader.U16();
    const uint16_t type = reader.U16();
    const uint16_t count = reader.U16();
    std::vector<IconImage> images;
    for (uint16_t i = 0; i < count; ++i) {
        reader.Skip(12);  // size, colours, planes, bits, byte count: the image itself tells
        const uint16_t imageId = reader.U16();
        const std::optional<Bytes> dib = file.Find(kRtIcon, imageId);
        std::optional<IconImage> image = dib ? ReadIconImage(*dib) : std::nullopt;
        if (!reader.Ok() || !image) {
            return std::nullopt;
        }
        images.push_back(std::move(*image));
    }
    if (type != 1 || images.empty()) {
        return std::nullopt;
    }
    return images;
}

}  // namespace cyclara
