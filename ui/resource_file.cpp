// The container: the walk over a .res file's entries, kept by type and number.
#include "ui/resource_reader.h"
#include "ui/byte_reader.h"

namespace cyclara {

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

}  // namespace cyclara
