// Menus: popups nested in items, to the end flag.
#include "ui/resource_reader.h"
#include "ui/byte_reader.h"

namespace cyclara {

namespace {

constexpr uint16_t kMfPopup = 0x10;
constexpr uint16_t kMfEnd = 0x80;
constexpr uint16_t kMfSeparator = 0x800;

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

}  // namespace

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

}  // namespace cyclara
