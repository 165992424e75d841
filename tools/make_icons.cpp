// Draws the program's three icons as 16-colour .ico files with a transparency mask:
//   make_icons FOLDER  writes cyclara.ico, led_on.ico and led_off.ico into FOLDER.
// The committed files under res/ are this program's output; a test checks they still are.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The standard 16-colour palette, as Windows' 4-bit icons use it.
enum Colour : uint8_t { kBlack = 0, kDarkGreen = 2, kSilver = 7, kGrey = 8, kLime = 10 };
constexpr uint8_t kPalette[16][3] = {
    {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},  {0, 0, 128}, {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},    {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};

// One square image; a pixel without a colour is transparent.
class Image {
  public:
    explicit Image(int size) : m_size(size), m_pixels(size * size, -1) {}
    int Size() const { return m_size; }
    void Set(int x, int y, Colour colour) {
        if (x >= 0 && y >= 0 && x < m_size && y < m_size) {
            m_pixels[y * m_size + x] = colour;
        }
    }
    int At(int x, int y) const { return m_pixels[y * m_size + x]; }

  private:
    int m_size;
    std::vector<int> m_pixels;
};

void Put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(value & 0xFF);
    out.push_back((value >> 8) & 0xFF);
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// BITMAPINFOHEADER, palette, 4-bit colour rows and 1-bit mask rows, both bottom-up and
// padded to four bytes.
std::vector<uint8_t> Dib(const Image& image) {
    const int size = image.Size();
    const int colourRow = (size / 2 + 3) / 4 * 4;
    const int maskRow = (size / 8 + 3) / 4 * 4;
    std::vector<uint8_t> dib;
    Put32(dib, 40);
    Put32(dib, size);
    Put32(dib, size * 2);  // colour and mask stacked
    Put16(dib, 1);
    Put16(dib, 4);
    Put32(dib, 0);
    Put32(dib, (colourRow + maskRow) * size);
    Put32(dib, 0);
    Put32(dib, 0);
    Put32(dib, 0);
    Put32(dib, 0);
    for (const auto& rgb : kPalette) {
        dib.insert(dib.end(), {rgb[2], rgb[1], rgb[0], 0});
    }
    for (int y = size - 1; y >= 0; --y) {
        std::vector<uint8_t> row(colourRow, 0);
        for (int x = 0; x < size; ++x) {
            const int colour = image.At(x, y) < 0 ? 0 : image.At(x, y);
            row[x / 2] |= x % 2 == 0 ? colour << 4 : colour;
        }
        dib.insert(dib.end(), row.begin(), row.end());
    }
    for (int y = size - 1; y >= 0; --y) {
        std::vector<uint8_t> row(maskRow, 0);
        for (int x = 0; x < size; ++x) {
            if (image.At(x, y) < 0) {
                row[x / 8] |= 0x80 >> (x % 8);
            }
        }
        dib.insert(dib.end(), row.begin(), row.end());
    }
    return dib;
}

std::vector<uint8_t> IconFile(const std::vector<Image>& images) {
    std::vector<std::vector<uint8_t>> dibs;
    for (const Image& image : images) {
        dibs.push_back(Dib(image));
    }
    std::vector<uint8_t> file;
    Put16(file, 0);
    Put16(file, 1);
    Put16(file, static_cast<uint32_t>(images.size()));
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        file.insert(file.end(), {static_cast<uint8_t>(images[i].Size()),
                                 static_cast<uint8_t>(images[i].Size()), 16, 0});
        Put16(file, 1);
        Put16(file, 4);
        Put32(file, static_cast<uint32_t>(dibs[i].size()));
        Put32(file, offset);
        offset += static_cast<uint32_t>(dibs[i].size());
    }
    for (const auto& dib : dibs) {
        file.insert(file.end(), dib.begin(), dib.end());
    }
    return file;
}

// The lamp: 9 x 14 pixels with rounded corners at the left edge in rows 11 to 24, with a
// one-pixel grey shadow along its right and bottom sides.
Image Lamp(Colour colour) {
    Image image(32);
    constexpr int kLeft = 0, kRight = 8, kTop = 11, kBottom = 24;
    for (int y = kTop; y <= kBottom; ++y) {
        for (int x = kLeft; x <= kRight; ++x) {
            const bool corner = (x == kLeft || x == kRight) && (y == kTop || y == kBottom);
            if (!corner) {
                image.Set(x, y, colour);
            }
        }
    }
    for (int y = kTop + 1; y < kBottom; ++y) {
        image.Set(kRight + 1, y, kGrey);
    }
    for (int x = kLeft + 1; x < kRight; ++x) {
        image.Set(x, kBottom + 1, kGrey);
    }
    image.Set(kRight, kBottom, kGrey);
    return image;
}

// A black screen, lit from the top left, showing one period of a sine that starts at mid
// height rising: its peak in the left half, its dip in the right.
Image Screen(int size) {
    Image image(size);
    const int margin = size / 16;
    const int left = margin, right = size - 1 - margin;
    const int top = size / 8, bottom = size - 1 - size / 8;
    for (int y = top; y <= bottom; ++y) {
        for (int x = left; x <= right; ++x) {
            const bool lit = y == top || x == left;
            const bool shaded = y == bottom || x == right;
            image.Set(x, y, lit ? kSilver : shaded ? kGrey : kBlack);
        }
    }
    const int first = left + 2, last = right - 2;
    const double middle = (top + bottom) / 2.0;
    const double amplitude = (bottom - top) / 2.0 - 2.5;
    int previous = -1;
    for (int x = first; x <= last; ++x) {
        const double phase = 2 * M_PI * (x - first) / (last - first);
        const int y = static_cast<int>(std::lround(middle - amplitude * std::sin(phase)));
        const int from = previous < 0 ? y : (previous < y ? previous + 1 : y);
        const int to = previous < 0 ? y : (previous > y ? previous - 1 : y);
        for (int v = std::min(from, to); v <= std::max(from, to); ++v) {
            image.Set(x, v, kLime);
        }
        previous = y;
    }
    return image;
}

bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icons FOLDER\n");
        return 2;
    }
    const std::string folder = std::string(argv[1]) + "/";
    const bool written = Write(folder + "cyclara.ico", IconFile({Screen(32), Screen(16)})) &&
                         Write(folder + "led_on.ico", IconFile({Lamp(kLime)})) &&
                         Write(folder + "led_off.ico", IconFile({Lamp(kDarkGreen)}));
    if (!written) {
        std::fprintf(stderr, "make_icons: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
