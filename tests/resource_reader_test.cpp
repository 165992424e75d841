#include "ui/resource_reader.h"
#include "res/resource.h"
#include "serial/serial_port.h"
#include "ui/compiled_resources.h"

#include <gtest/gtest.h>

#include <string>

namespace cyclara {
namespace {

constexpr uint16_t kStatic = 0x82;
constexpr uint16_t kButton = 0x80;
constexpr uint16_t kComboBox = 0x85;

const ResourceFile& Resources() {
    static const ResourceFile file = *ResourceFile::Parse(CompiledResources());
    return file;
}

DialogTemplate Dialog(uint16_t id) {
    const auto bytes = Resources().Find(kRtDialog, id);
    EXPECT_TRUE(bytes.has_value());
    return *ParseDialog(*bytes);
}

struct ExpectedControl {
    int32_t id;
    const char* text;
    int16_t x, y, cx, cy;
    uint32_t style;
    uint16_t classAtom;
};

void ExpectControls(const DialogTemplate& dialog, const std::vector<ExpectedControl>& expected) {
    ASSERT_EQ(dialog.controls.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const DialogControl& actual = dialog.controls[i];
        const ExpectedControl& e = expected[i];
        SCOPED_TRACE("control " + std::to_string(i + 1));
        EXPECT_EQ(actual.id, e.id);
        EXPECT_EQ(ToUtf8(actual.text), e.text);
        EXPECT_EQ(actual.x, e.x);
        EXPECT_EQ(actual.y, e.y);
        EXPECT_EQ(actual.cx, e.cx);
        EXPECT_EQ(actual.cy, e.cy);
        EXPECT_EQ(actual.style, e.style);
        EXPECT_EQ(actual.exStyle, 0u);
        EXPECT_EQ(actual.classAtom, e.classAtom);
    }
}

TEST(ResourceTest, MainDialogTemplate) {
    const DialogTemplate dialog = Dialog(IDD_MAIN);
    EXPECT_TRUE(dialog.extended);
    EXPECT_EQ(dialog.style, 0x90CA00C0u);
    EXPECT_EQ(dialog.exStyle, 0x00040000u);
    EXPECT_EQ((std::vector<int>{dialog.x, dialog.y, dialog.cx, dialog.cy}),
              (std::vector<int>{0, 0, 140, 76}));
    EXPECT_EQ(dialog.menuId, IDR_MENU);
    EXPECT_EQ(ToUtf8(dialog.caption), "Cyclara");
    EXPECT_EQ(dialog.pointSize, 9);
    EXPECT_EQ(dialog.weight, 0);
    EXPECT_FALSE(dialog.italic);
    EXPECT_EQ(dialog.charset, 1);
    EXPECT_EQ(ToUtf8(dialog.font), "ＭＳ ゴシック");
    constexpr uint32_t kValue = 0x50021002, kText = 0x50020000, kIcon = 0x50000003;
    ExpectControls(dialog, {{IDC_FREQ, "", 80, 7, 18, 10, kValue, kStatic},
                            {-1, "Hz", 101, 8, 8, 8, kText, kStatic},
                            {IDC_ELAPSED, "", 80, 24, 50, 10, kValue, kStatic},
                            {IDC_WIDTH, "", 80, 41, 35, 10, kValue, kStatic},
                            {-1, "us", 117, 41, 15, 8, kText, kStatic},
                            {IDC_DIFF, "", 80, 58, 35, 10, kValue, kStatic},
                            {-1, "us", 117, 58, 15, 8, kText, kStatic},
                            {-1, "Total difference", 7, 58, 68, 8, kText, kStatic},
                            {-1, "1PPS width", 7, 41, 58, 8, kText, kStatic},
                            {-1, "AC Frequency", 7, 7, 53, 8, kText, kStatic},
                            {-1, "Elapsed time", 7, 24, 60, 8, kText, kStatic},
                            {IDC_LED, "", 119, 0, 20, 20, kIcon, kStatic}});
}

TEST(ResourceTest, PortDialogTemplate) {
    const DialogTemplate dialog = Dialog(IDD_PORT);
    EXPECT_FALSE(dialog.extended);
    EXPECT_EQ(dialog.style, 0x80C800C0u);
    EXPECT_EQ(dialog.exStyle, 0u);
    EXPECT_EQ((std::vector<int>{dialog.x, dialog.y, dialog.cx, dialog.cy}),
              (std::vector<int>{0, 0, 157, 45}));
    EXPECT_EQ(dialog.menuId, 0);
    EXPECT_EQ(ToUtf8(dialog.caption), "シリアルポートの条件");
    EXPECT_EQ(dialog.pointSize, 9);
    EXPECT_EQ(ToUtf8(dialog.font), "ＭＳ Ｐゴシック");
    ExpectControls(dialog, {{1, "OK", 100, 7, 50, 14, 0x50010001, kButton},
                            {2, "ｷｬﾝｾﾙ", 100, 24, 50, 14, 0x50010000, kButton},
                            {IDC_PORT, "", 44, 7, 48, 80, 0x50210003, kComboBox},
                            {IDC_SPEED, "", 44, 24, 48, 80, 0x50210003, kComboBox},
                            {-1, "ポート番号", 7, 10, 32, 8, 0x50020000, kStatic},
                            {-1, "通信速度", 7, 27, 28, 8, 0x50020000, kStatic}});
}

TEST(ResourceTest, ListContentsInTheirOrder) {
    const auto bytes = Resources().Find(kRtDialogInit, IDD_PORT);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(bytes->size(), 432u);
    const auto entries = ParseDialogInit(*bytes);
    ASSERT_TRUE(entries.has_value());
    ASSERT_EQ(entries->size(), 32u);
    for (size_t i = 0; i < entries->size(); ++i) {
        const ListEntry& entry = (*entries)[i];
        EXPECT_EQ(entry.message, 0x0403);
        if (i < 20) {
            EXPECT_EQ(entry.controlId, IDC_PORT);
            EXPECT_EQ(entry.text, "COM" + std::to_string(i + 1));
        } else {
            EXPECT_EQ(entry.controlId, IDC_SPEED);
            EXPECT_EQ(entry.text, std::to_string(kSpeedTable.at(i - 20)));
        }
    }
}

TEST(ResourceTest, MenuTree) {
    const auto menu = ParseMenu(*Resources().Find(kRtMenu, IDR_MENU));
    ASSERT_TRUE(menu.has_value());
    ASSERT_EQ(menu->size(), 2u);
    const MenuItem& file = (*menu)[0];
    EXPECT_EQ(ToUtf8(file.text), "&File");
    ASSERT_EQ(file.items.size(), 3u);
    EXPECT_EQ(ToUtf8(file.items[0].text), "&Port Open");
    EXPECT_EQ(file.items[0].id, IDM_PORT);
    EXPECT_TRUE(file.items[1].separator);
    EXPECT_EQ(ToUtf8(file.items[2].text), "E&xit");
    EXPECT_EQ(file.items[2].id, IDM_EXIT);
    const MenuItem& help = (*menu)[1];
    EXPECT_EQ(ToUtf8(help.text), "&Help");
    ASSERT_EQ(help.items.size(), 1u);
    EXPECT_EQ(ToUtf8(help.items[0].text), "&About");
    EXPECT_EQ(help.items[0].id, IDM_ABOUT);
}

TEST(ResourceTest, LampPixels) {
    constexpr uint32_t kTransparent = 0, kShadow = 0xFF808080;
    struct Probe {
        int x, y;
        uint32_t on, off;
    };
    const Probe probes[] = {
        {4, 17, 0xFF00FF00, 0xFF008000},      // inside the lamp
        {1, 11, 0xFF00FF00, 0xFF008000},      // its top row
        {0, 11, kTransparent, kTransparent},  // a rounded corner
        {8, 24, kShadow, kShadow},            // the corner where the shadow turns
        {9, 15, kShadow, kShadow},            // the shadow on the right
        {4, 25, kShadow, kShadow},            // the shadow below
        {4, 10, kTransparent, kTransparent},  // above the lamp
        {20, 17, kTransparent, kTransparent},
    };
    const auto on = LoadIcon(Resources(), IDI_LED_ON);
    const auto off = LoadIcon(Resources(), IDI_LED_OFF);
    ASSERT_TRUE(on && off);
    ASSERT_EQ(on->size(), 1u);
    ASSERT_EQ((*on)[0].width, 32);
    ASSERT_EQ((*on)[0].height, 32);
    for (const Probe& p : probes) {
        EXPECT_EQ((*on)[0].pixels[p.y * 32 + p.x], p.on) << p.x << "," << p.y;
        EXPECT_EQ((*off)[0].pixels[p.y * 32 + p.x], p.off) << p.x << "," << p.y;
    }
}

TEST(ResourceTest, ApplicationIconHasBothSizes) {
    const auto icon = LoadIcon(Resources(), IDR_MAINFRAME);
    ASSERT_TRUE(icon.has_value());
    ASSERT_EQ(icon->size(), 2u);
    EXPECT_EQ((*icon)[0].width, 32);
    EXPECT_EQ((*icon)[1].width, 16);
    EXPECT_EQ((*icon)[0].pixels[0], 0u) << "transparent around the screen";
    EXPECT_EQ((*icon)[0].pixels[16 * 32 + 16], 0xFF00FF00u) << "the sine crosses mid height";
}

TEST(ResourceTest, VersionInformation) {
    const auto version = ParseVersion(*Resources().Find(kRtVersion, 1));
    ASSERT_TRUE(version.has_value());
    EXPECT_EQ(version->fileVersion, (std::vector<uint16_t>{1, 0, 0, 1}));
    EXPECT_EQ(version->productVersion, (std::vector<uint16_t>{1, 0, 0, 1}));
    EXPECT_EQ(version->fileOs, 4u);
    EXPECT_EQ(version->fileType, 1u);
    EXPECT_EQ(version->table, "041104b0");
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Comments", ""},
        {"CompanyName", ""},
        {"FileDescription", "商用電源周波数計測"},
        {"FileVersion", "1, 0, 0, 1"},
        {"InternalName", "Cyclara"},
        {"LegalCopyright", "Copyright (C) 2026 the Cyclara developers"},
        {"LegalTrademarks", ""},
        {"OriginalFilename", "Cyclara.EXE"},
        {"PrivateBuild", ""},
        {"ProductName", "商用電源周波数計測"},
        {"ProductVersion", "1, 0, 0, 1"},
        {"SpecialBuild", ""}};
    ASSERT_EQ(version->strings.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(version->strings[i].first, expected[i].first);
        EXPECT_EQ(ToUtf8(version->strings[i].second), expected[i].second);
    }
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
