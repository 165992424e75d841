// Dialog templates, classic and extended.
#include "ui/resource_reader.h"
#include "ui/byte_reader.h"

#include <string_view>
#include <utility>

namespace cyclara {

namespace {

constexpr uint32_t kDsSetFont = 0x40;

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

}  // namespace

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

}  // namespace cyclara
