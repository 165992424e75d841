// Reads the compiled resource file (.res) that windres makes from res/cyclara.rc: dialog
// templates, menus, icons, the lists' contents and the version strings. Every read is bounds
// checked: a truncated or corrupted resource is rejected, never read past its end.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace cyclara {

using Bytes = std::span<const uint8_t>;

// Resource types, as Windows numbers them.
inline constexpr uint16_t kRtIcon = 3;
inline constexpr uint16_t kRtMenu = 4;
inline constexpr uint16_t kRtDialog = 5;
inline constexpr uint16_t kRtGroupIcon = 14;
inline constexpr uint16_t kRtVersion = 16;
inline constexpr uint16_t kRtDialogInit = 240;

class ResourceFile {
  public:
    // Nothing if `bytes` is not a well-formed resource file. The file keeps a view of
    // `bytes`, which must outlive it.
    static std::optional<ResourceFile> Parse(Bytes bytes);

    // The data of the resource with a numeric type and ID.
    std::optional<Bytes> Find(uint16_t type, uint16_t id) const;

  private:
    std::map<std::pair<uint16_t, uint16_t>, Bytes> m_resources;
};

struct DialogControl {
    int32_t id = 0;  // -1 (0xFFFF in a classic template) for a fixed text
    uint32_t style = 0;
    uint32_t exStyle = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    uint16_t classAtom = 0;  // 0x80 button, 0x82 static, 0x85 combo box; 0 when named
    std::u16string className;
    std::u16string text;
};

struct DialogTemplate {
    bool extended = false;
    uint32_t style = 0;
    uint32_t exStyle = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    uint16_t menuId = 0;
    std::u16string caption;
    uint16_t pointSize = 0;
    uint16_t weight = 0;
    bool italic = false;
    uint8_t charset = 0;
    std::u16string font;
    std::vector<DialogControl> controls;
};
std::optional<DialogTemplate> ParseDialog(Bytes bytes);

struct MenuItem {
    std::u16string text;
    uint16_t id = 0;
    bool separator = false;
    std::vector<MenuItem> items;  // a pop-up's entries; empty for a command
    bool IsPopup() const { return !items.empty(); }
};
std::optional<std::vector<MenuItem>> ParseMenu(Bytes bytes);

// One line of a list's initial contents.
struct ListEntry {
    uint16_t controlId = 0;
    uint16_t message = 0;  // 0x0403: add a string to a combo box
    std::string text;      // 8-bit, without its zero byte
};
std::optional<std::vector<ListEntry>> ParseDialogInit(Bytes bytes);

// One image of an icon, as 0xAARRGGBB pixels in rows from the top.
struct IconImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};
// The images of icon group `id`, largest first as stored.
std::optional<std::vector<IconImage>> LoadIcon(const ResourceFile& file, uint16_t id);

// The version resource's strings, by key, and its fixed file version (major, minor, build,
// revision).
struct VersionInfo {
    std::vector<uint16_t> fileVersion;
    std::vector<uint16_t> productVersion;
    uint32_t fileOs = 0;
    uint32_t fileType = 0;
    std::string table;                                            // "041104b0"
    std::vector<std::pair<std::string, std::u16string>> strings;  // in stored order
};
std::optional<VersionInfo> ParseVersion(Bytes bytes);

// UTF-16 to UTF-8, for the Qt side and for the tests.
std::string ToUtf8(const std::u16string& text);

}  // namespace cyclara
