#include "ui/resource_reader.h"
#include "res/resource.h"
#include "ui/compiled_resources.h"

#include <gtest/gtest.h>

#include <string>

namespace cyclara {
namespace {

const ResourceFile& Resources() {
    static const ResourceFile file = *ResourceFile::Parse(CompiledResources());
    return file;
}

// Every cut of every resource is rejected, never read past: the parsers see only the prefix.
TEST(ResourceTest, TruncatedResourcesAreRejected) {
    struct Kind {
        uint16_t type, id;
        bool (*parses)(Bytes);
    };
    const Kind kinds[] = {
        {kRtDialog, IDD_MAIN, [](Bytes b) { return ParseDialog(b).has_value(); }},
        {kRtDialog, IDD_PORT, [](Bytes b) { return ParseDialog(b).has_value(); }},
        {kRtMenu, IDR_MENU, [](Bytes b) { return ParseMenu(b).has_value(); }},
        {kRtDialogInit, IDD_PORT, [](Bytes b) { return ParseDialogInit(b).has_value(); }},
        {kRtVersion, 1, [](Bytes b) { return ParseVersion(b).has_value(); }},
    };
    for (const Kind& kind : kinds) {
        const Bytes whole = *Resources().Find(kind.type, kind.id);
        ASSERT_TRUE(kind.parses(whole));
        for (size_t length = 0; length < whole.size(); ++length) {
            // A copy, so that a read past the cut would read past the allocation.
            const std::vector<uint8_t> cut(whole.begin(), whole.begin() + length);
            EXPECT_FALSE(kind.parses(cut)) << kind.type << "/" << kind.id << " cut at " << length;
        }
    }
}

// A corrupted image header is rejected, never trusted to say where the pixels are.
TEST(ResourceTest, IconWithBrokenImageIsRejected) {
    const struct {
        size_t field;
        uint32_t value;
        const char* what;
    } cases[] = {
        {14, 24, "24 bits a pixel: not an icon format of ours"},
        {0, 0x7FFFFFF0, "a header size far past the image"},
        {0, 0xFFFFFFFF, "a header size at the end of the address space"},
        {32, 0x40000001, "a palette larger than the image"},
    };
    const Bytes dib = *Resources().Find(kRtIcon, 3);  // the first lamp's image
    const size_t offset = static_cast<size_t>(dib.data() - CompiledResources().data());
    for (const auto& c : cases) {
        std::vector<uint8_t> bytes(CompiledResources().begin(), CompiledResources().end());
        for (size_t i = 0; i < 4; ++i) {
            bytes[offset + c.field + i] = static_cast<uint8_t>(c.value >> (8 * i));
        }
        const auto file = ResourceFile::Parse(bytes);
        ASSERT_TRUE(file.has_value());
        EXPECT_FALSE(LoadIcon(*file, IDI_LED_ON).has_value()) << c.what;
    }
}

}  // namespace
}  // namespace cyclara
