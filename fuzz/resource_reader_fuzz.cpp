// Any bytes as a resource file, and as each kind of resource: the reader must reject what is
// malformed and never read outside what it was given (the sanitizers watch every access).
#include "res/resource.h"
#include "ui/resource_reader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace cyclara;
    const Bytes bytes(data, size);
    static_cast<void>(ParseDialog(bytes));
    static_cast<void>(ParseMenu(bytes));
    static_cast<void>(ParseDialogInit(bytes));
    static_cast<void>(ParseVersion(bytes));
    const std::optional<ResourceFile> file = ResourceFile::Parse(bytes);
    if (!file) {
        return 0;
    }
    // The program's own resources, found in a file that may be corrupted anywhere.
    for (const uint16_t id : {IDD_MAIN, IDD_PORT}) {
        if (const auto dialog = file->Find(kRtDialog, id)) {
            static_cast<void>(ParseDialog(*dialog));
        }
        if (const auto lists = file->Find(kRtDialogInit, id)) {
            static_cast<void>(ParseDialogInit(*lists));
        }
    }
    if (const auto menu = file->Find(kRtMenu, IDR_MENU)) {
        static_cast<void>(ParseMenu(*menu));
    }
    if (const auto version = file->Find(kRtVersion, 1)) {
        static_cast<void>(ParseVersion(*version));
    }
    for (const uint16_t icon : {IDR_MAINFRAME, IDI_LED_ON, IDI_LED_OFF}) {
        static_cast<void>(LoadIcon(*file, icon));
    }
    return 0;
}
