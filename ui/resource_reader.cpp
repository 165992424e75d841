#include "ui/resource_reader.h"

#include <algorithm>
#include <string_view>

namespace cyclara {

namespace {

// Little-endian reads over a byte span that turn an overrun into a failed state instead of
// reading past the end; callers test Ok() once after a group of reads.
class ByteReader {
  public:
    // A start past the data (an offset that a corrupted header gives) reads nothing.
    explicit ByteReader(Bytes bytes, size_t offset = 0)
        : m_bytes(bytes), m_offset(std::min(offset, bytes.size())), m_ok(offset <= bytes.size()) {}

    bool Ok() const { return m_ok; }
    size_t Offset() const { return m_offset; }
    bool AtEnd() const { return m_offset >= m_bytes.size(); }

    uint8_t U8() { return Has(1) ? m_bytes[m_offset++] : 0; }
    uint16_t U16() {
        const uint16_t low = U8();
        return static_cast<uint16_t>(low | U8() << 8);
    }
    uint32_t U32() {
        const uint32_t low = U16();
        return low | static_cast<uint32_t>(U16()) << 16;
    }
    int16_t I16() { return static_cast<int16_t>(U16()); }

    std::u16string Sz() {
        std::u16string text;
        for (char16_t ch; m_ok && (ch = U16()) != 0;) {
            text.push_back(ch);
        }
        return text;
    }

    // A field that is empty (0), an ordinal (0xFFFF then a number) or a string.
    void SzOrOrdinal(uint16_t& ordinal, std::u16string& name) {
        ordinal = 0;
        name.clear();
        const size_t start = m_offset;
        const uint16_t first = U16();
        if (first == 0xFFFF) {
            ordinal = U16();
        } else if (first != 0) {
            m_offset = start;
            name = Sz();
        }
    }

    Bytes Take(size_t count) {
        if (!Has(count)) {
            return {};
        }
        const Bytes taken = m_bytes.subspan(m_offset, count);
        m_offset += count;
        return taken;
    }

    void Skip(size_t count) { Take(count); }
    // Padding may run to the end of the data: what follows it is what gets checked.
    void AlignTo4() { m_offset = std::min(m_offset + (4 - m_offset % 4) % 4, m_bytes.size()); }

  private:
    bool Has(size_t count) {
        if (!m_ok || count > m_bytes.size() - m_offset) {
            m_ok = false;
            return false;
        }
        return true;
    }

    Bytes m_bytes;
    size_t m_offset;  // never past the data, so the bounds arithmetic cannot wrap
    bool m_ok;
};

constexpr uint32_t kDsSetFont = 0x40;
constexpr uint16_t kMfPopup = 0x10;
constexpr uint16_t kMfEnd = 0x80;
constexpr uint16_t kMfSeparator = 0x800;

// The predefined window classes, which a template may name or number (windres names them).
uint16_t PredefinedClassAtom(const std::u16string& name) {
    static const std::pair<std::u16string_view, uint16_t> kClasses[] = {
        {u"button", 0x80},  {u"edit", 0x81},      {u"static", 0x82},
        {u"listbox", 0x83}, {u"scrollbar", 0x84}, {u"combobox", 0x85}};
    std::u16string lower;
    for (char16_t ch : name) {
        lower.push_back(ch >= u'A' && ch <= u'Z' ? static_cast<char16_t>(ch + 32) : ch);
    }
    for (const auto& [known, atom] : kClasses) {
        if (lower == known) {
            return atom;
        }
    }
    return 0;
}

void ReadControlText(ByteReader& reader, DialogControl& control) {
    reader.SzOrOrdinal(control.classAtom, control.className);
    if (const uint16_t atom = PredefinedClassAtom(control.className)) {
        control.classAtom = atom;
        control.className.clear();
    }
    uint16_t textOrdinal = 0;
    reader.SzOrOrdinal(textOrdinal, control.text);
    reader.Skip(reader.U16());  // creation data
}

DialogControl ReadClassicControl(ByteReader& reader) {
    DialogControl control;
    reader.AlignTo4();
    control.style = reader.U32();
    control.exStyle = reader.U32();
    control.x = reader.I16();
    control.y = reader.I16();
    control.cx = reader.I16();
    control.cy = reader.I16();
    control.id = static_cast<int16_t>(reader.U16());
    ReadControlText(reader, control);
    return control;
}

DialogControl ReadExtendedControl(ByteReader& reader) {
    DialogControl control;
    reader.AlignTo4();
    reader.U32();  // help ID
    control.exStyle = reader.U32();
    control.style = reader.U32();
    control.x = reader.I16();
    control.y = reader.I16();
    control.cx = reader.I16();
    control.cy = reader.I16();
    control.id = static_cast<int32_t>(reader.U32());
    ReadControlText(reader, control);
    return control;
}

void ReadFrame(ByteReader& reader, DialogTemplate& dialog, uint16_t& count) {
    count = reader.U16();
    dialog.x = reader.I16();
    dialog.y = reader.I16();
    dialog.cx = reader.I16();
    dialog.cy = reader.I16();
    std::u16string menuName;
    reader.SzOrOrdinal(dialog.menuId, menuName);
    uint16_t classOrdinal = 0;
    std::u16string className;
    reader.SzOrOrdinal(classOrdinal, className);
    dialog.caption = reader.Sz();
}

bool ReadMenuItems(ByteReader& reader, std::vector<MenuItem>& items, int depth) {
    // Menus nest a few levels at most; the bound keeps a corrupted one from recursing deep.
    if (depth > 8) {
        return false;
    }
    for (;;) {
        MenuItem item;
        const uint16_t flags = reader.U16();
        if ((flags & kMfPopup) == 0) {
            item.id = reader.U16();
        }
        item.text = reader.Sz();
        item.separator = (flags & kMfSeparator) != 0 ||
                         (!(flags & kMfPopup) && item.id == 0 && item.text.empty());
        if (!reader.Ok() ||
            ((flags & kMfPopup) != 0 &&
             (!ReadMenuItems(reader, item.items, depth + 1) || item.items.empty()))) {
            return false;
        }
        items.push_back(std::move(item));
        if ((flags & kMfEnd) != 0) {
            return true;
        }
    }
}

struct VersionNode {
    std::u16string key;
    Bytes value;
    uint16_t type = 0;
    std::vector<VersionNode> children;
};

bool ReadVersionNode(Bytes bytes, VersionNode& node, int depth) {
    ByteReader reader(bytes);
    const uint16_t length = reader.U16();
    const uint16_t valueLength = reader.U16();
    node.type = reader.U16();
    node.key = reader.Sz();
    reader.AlignTo4();
    if (!reader.Ok() || length > bytes.size() || length < reader.Offset() || depth > 4) {
        return false;
    }
    node.value = reader.Take(node.type == 1 ? valueLength * 2u : valueLength);
    reader.AlignTo4();
    while (reader.Ok() && reader.Offset() + 6 <= length) {
        const uint16_t childLength = ByteReader(bytes, reader.Offset()).U16();
        VersionNode child;
        if (childLength < 6 || childLength > length - reader.Offset() ||
            !ReadVersionNode(bytes.subspan(reader.Offset(), childLength), child, depth + 1)) {
            return false;
        }
        reader.Skip(childLength);
        reader.AlignTo4();
        node.children.push_back(std::move(child));
    }
    return reader.Ok();
}

std::u16string TextOf(Bytes value) {
    ByteReader reader(value);
    std::u16string text = reader.Sz();
    return text;
}

uint32_t ColourOf(Bytes palette, unsigned index) {
    if (index * 4 + 3 >= palette.size()) {
        return 0xFF000000;
    }
    const uint8_t* bgr = palette.data() + index * 4;
    return 0xFF000000u | bgr[2] << 16 | bgr[1] << 8 | bgr[0];
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
    for (int y = 0; y < height; ++y) {
        const size_t stored = static_cast<size_t>(height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const size_t bit = static_cast<size_t>(x) * bits;
            const uint8_t byte = colours[stored * colourRow + bit / 8];
            const unsigned index = (byte >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
            const bool transparent = (mask[stored * maskRow + x / 8] & (0x80 >> (x % 8))) != 0;
            image.pixels[static_cast<size_t>(y) * width + x] =
                transparent ? 0 : ColourOf(palette, index);
        }
    }
    return image;
}

}  // namespace

std::optional<ResourceFile> ResourceFile::Parse(Bytes bytes) {
    ResourceFile file;
    ByteReader reader(bytes);
    while (!reader.AtEnd()) {
        const size_t start = reader.Offset();
        const uint32_t dataSize = reader.U32();
        const uint32_t headerSize = reader.U32();
        uint16_t type = 0;
        uint16_t id = 0;
        std::u16string typeName;
        std::u16string idName;
        reader.SzOrOrdinal(type, typeName);
        reader.SzOrOrdinal(id, idName);
        if (!reader.Ok() || headerSize < 32 || headerSize > bytes.size() - start ||
            dataSize > bytes.size() - start - headerSize) {
            return std::nullopt;
        }
        ByteReader data(bytes, start + headerSize);
        const Bytes content = data.Take(dataSize);
        if (typeName.empty() && idName.empty() && type != 0) {
            file.m_resources[{type, id}] = content;
        }
        reader = ByteReader(bytes, start + headerSize + dataSize);
        reader.AlignTo4();
    }
    return file;
}

std::optional<Bytes> ResourceFile::Find(uint16_t type, uint16_t id) const {
    const auto found = m_resources.find({type, id});
    if (found == m_resources.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::optional<DialogTemplate> ParseDialog(Bytes bytes) {
    ByteReader reader(bytes);
    DialogTemplate dialog;
    uint16_t count = 0;
    dialog.extended = bytes.size() >= 4 && bytes[2] == 0xFF && bytes[3] == 0xFF;
    if (dialog.extended) {
        reader.Skip(4);  // version 1, signature 0xFFFF
        reader.U32();    // help ID
        dialog.exStyle = reader.U32();
        dialog.style = reader.U32();
    } else {
        dialog.style = reader.U32();
        dialog.exStyle = reader.U32();
    }
    ReadFrame(reader, dialog, count);
    if ((dialog.style & kDsSetFont) != 0) {
        dialog.pointSize = reader.U16();
        if (dialog.extended) {
            dialog.weight = reader.U16();
            dialog.italic = reader.U8() != 0;
            dialog.charset = reader.U8();
        }
        dialog.font = reader.Sz();
    }
    for (uint16_t i = 0; i < count && reader.Ok(); ++i) {
        dialog.controls.push_back(dialog.extended ? ReadExtendedControl(reader)
                                                  : ReadClassicControl(reader));
    }
    if (!reader.Ok()) {
        return std::nullopt;
    }
    return dialog;
}

std::optional<std::vector<MenuItem>> ParseMenu(Bytes bytes) {
    ByteReader reader(bytes);
    const uint16_t version = reader.U16();
    reader.Skip(reader.U16());  // header size: extra header bytes
    std::vector<MenuItem> items;
    if (!reader.Ok() || version != 0 || !ReadMenuItems(reader, items, 0)) {
        return std::nullopt;
    }
    return items;
}

std::optional<std::vector<ListEntry>> ParseDialogInit(Bytes bytes) {
    ByteReader reader(bytes);
    std::vector<ListEntry> entries;
    for (;;) {
        ListEntry entry;
        entry.controlId = reader.U16();
        if (!reader.Ok()) {
            return std::nullopt;
        }
        if (entry.controlId == 0) {
            return entries;
        }
        entry.message = reader.U16();
        const Bytes text = reader.Take(reader.U32());
        if (!reader.Ok() || text.empty() || text.back() != 0) {
            return std::nullopt;
        }
        entry.text.assign(text.begin(), text.end() - 1);
        entries.push_back(std::move(entry));
    }
}

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

std::optional<VersionInfo> ParseVersion(Bytes bytes) {
    VersionNode root;
    if (!ReadVersionNode(bytes, root, 0) || root.value.size() < 52) {
        return std::nullopt;
    }
    ByteReader fixed(root.value);
    VersionInfo info;
    if (fixed.U32() != 0xFEEF04BD) {
        return std::nullopt;
    }
    fixed.U32();
    for (auto* version : {&info.fileVersion, &info.productVersion}) {
        const uint32_t high = fixed.U32();
        const uint32_t low = fixed.U32();
        *version = {static_cast<uint16_t>(high >> 16), static_cast<uint16_t>(high),
                    static_cast<uint16_t>(low >> 16), static_cast<uint16_t>(low)};
    }
    fixed.Skip(8);  // flags mask, flags
    info.fileOs = fixed.U32();
    info.fileType = fixed.U32();
    for (const VersionNode& block : root.children) {
        if (block.key != u"StringFileInfo" || block.children.empty()) {
            continue;
        }
        const VersionNode& table = block.children.front();
        info.table = ToUtf8(table.key);
        for (const VersionNode& entry : table.children) {
            info.strings.emplace_back(ToUtf8(entry.key), TextOf(entry.value));
        }
    }
    return info;
}

std::string ToUtf8(const std::u16string& text) {
    std::string utf8;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t code = text[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (code >= 0xD800 && code < 0xE000) {
            code = 0xFFFD;  // a lone surrogate
        }
        if (code < 0x80) {
            utf8 += static_cast<char>(code);
        } else if (code < 0x800) {
            utf8 += static_cast<char>(0xC0 | code >> 6);
            utf8 += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            utf8 += static_cast<char>(0xE0 | code >> 12);
            utf8 += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            utf8 += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            utf8 += static_cast<char>(0xF0 | code >> 18);
            utf8 += static_cast<char>(0x80 | (code >> 12 & 0x3F));
            utf8 += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            utf8 += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return utf8;
}

}  // namespace cyclara
