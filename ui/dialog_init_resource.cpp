// The lists' initial contents: one string a line, by control.
#include "ui/resource_reader.h"
#include "ui/byte_reader.h"

namespace cyclara {

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

}  // namespace cyclara
