// The version resource: its fixed file version and its string table.
#include "ui/resource_reader.h"
#include "ui/byte_reader.h"

namespace cyclara {

namespace {

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

}  // namespace

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

}  // namespace cyclara
