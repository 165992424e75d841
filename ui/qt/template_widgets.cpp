#include "ui/qt/template_widgets.h"

#include <QAction>
#include <QComboBox>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>

namespace cyclara::qt {

namespace {

constexpr uint16_t kButton = 0x80;
constexpr uint16_t kStatic = 0x82;
constexpr uint16_t kComboBox = 0x85;

constexpr uint32_t kStaticTypeMask = 0x1F;
constexpr uint32_t kSsRight = 0x2;
constexpr uint32_t kSsIcon = 0x3;
constexpr uint32_t kSsSunken = 0x1000;
constexpr uint32_t kBsDefPushButton = 0x1;
constexpr uint32_t kWsTabStop = 0x00010000;
constexpr int kPointsPerInch = 72;
constexpr int kWindowsPixelsPerInch = 96;

// The Windows fonts of the templates and their metric-compatible IPA fonts.
QString MatchedFamily(const QString& family) {
    if (family == QStringLiteral(u"ＭＳ ゴシック")) {
        return QStringLiteral("IPAGothic");
    }
    if (family == QStringLiteral(u"ＭＳ Ｐゴシック")) {
        return QStringLiteral("IPAPGothic");
    }
    return family;
}

int MulDiv(int value, int numerator, int denominator) {
    return static_cast<int>((static_cast<long long>(value) * numerator + denominator / 2) /
                            denominator);
}

QWidget* StaticControl(const DialogControl& control, QWidget* parent) {
    auto* label = new QLabel(ToQString(control.text), parent);
    const uint32_t type = control.style & kStaticTypeMask;
    if (type == kSsIcon) {
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    label->setAlignment((type == kSsRight ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    if ((control.style & kSsSunken) != 0) {
        // Windows draws SS_SUNKEN as a one-pixel inset: grey above and left, white below and
        // right, whatever the style's palette says.
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setLineWidth(1);
        QPalette palette = label->palette();
        palette.setColor(QPalette::Dark, QColor(128, 128, 128));
        palette.setColor(QPalette::Light, Qt::white);
        label->setPalette(palette);
    }
    return label;
}

QWidget* ButtonControl(const DialogControl& control, QWidget* parent) {
    auto* button = new QPushButton(ToQString(control.text), parent);
    const bool isDefault = (control.style & kBsDefPushButton) != 0;
    button->setDefault(isDefault);
    button->setAutoDefault(false);
    return button;
}

QWidget* ControlWidget(const DialogControl& control, QWidget* parent) {
    switch (control.classAtom) {
        case kButton:
            return ButtonControl(control, parent);
        case kComboBox:
            return new QComboBox(parent);
        case kStatic:
        default:
            return StaticControl(control, parent);
    }
}

void AddMenuItems(const std::vector<MenuItem>& items, QMenu* menu,
                  const std::function<void(uint16_t)>& onCommand) {
    for (const MenuItem& item : items) {
        if (item.separator) {
            menu->addSeparator();
        } else if (item.IsPopup()) {
            AddMenuItems(item.items, menu->addMenu(ToQString(item.text)), onCommand);
        } else {
            QAction* action = menu->addAction(ToQString(item.text));
            action->setData(item.id);
            // The command is read when chosen: ModifyMenu may have changed it.
            QObject::connect(action, &QAction::triggered, [onCommand, action] {
                onCommand(static_cast<uint16_t>(action->data().toUInt()));
            });
        }
    }
}

}  // namespace

QImage ToImage(const IconImage& image) {
    QImage picture(image.width, image.height, QImage::Format_ARGB32);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            picture.setPixel(x, y, image.pixels[static_cast<size_t>(y) * image.width + x]);
        }
    }
    return picture;
}

QRect DialogUnits::ToPixels(int x, int y, int cx, int cy) const {
    return {MulDiv(x, baseX, 4), MulDiv(y, baseY, 8), MulDiv(cx, baseX, 4), MulDiv(cy, baseY, 8)};
}

DialogUnits DialogUnitsOf(const QFont& font) {
    // Windows' own rule: the width of the 52 letters, halved and rounded, over 26.
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return {(letters / 26 + 1) / 2, metrics.height()};
}

QFont TemplateFont(const DialogTemplate& dialog) {
    QFont font(MatchedFamily(ToQString(dialog.font)));
    // Points to pixels at Windows' 96 pixels an inch, so the window has its designed size.
    font.setPixelSize(MulDiv(dialog.pointSize, kWindowsPixelsPerInch, kPointsPerInch));
    font.setItalic(dialog.italic);
    if (dialog.weight != 0) {
        font.setWeight(static_cast<QFont::Weight>(dialog.weight));
    }
    return font;
}

std::map<int, QWidget*> BuildControls(const DialogTemplate& dialog, const DialogUnits& units,
                                      QWidget* parent) {
    std::map<int, QWidget*> controls;
    for (const DialogControl& control : dialog.controls) {
        QWidget* widget = ControlWidget(control, parent);
        QRect geometry = units.ToPixels(control.x, control.y, control.cx, control.cy);
        // A drop-down list's template height is that of its open list; closed, it is one line.
        if (control.classAtom == kComboBox) {
            geometry.setHeight(widget->sizeHint().height());
        }
        widget->setGeometry(geometry);
        widget->setProperty(kControlIdProperty, control.id);
        widget->setFocusPolicy((control.style & kWsTabStop) != 0 ? Qt::StrongFocus : Qt::NoFocus);
        if (control.id != -1) {
            controls[control.id] = widget;
        }
    }
    return controls;
}

void BuildMenuBar(const std::vector<MenuItem>& menu, QMenuBar* bar,
                  const std::function<void(uint16_t)>& onCommand) {
    for (const MenuItem& popup : menu) {
        AddMenuItems(popup.items, bar->addMenu(ToQString(popup.text)), onCommand);
    }
}

QIcon ToIcon(const std::vector<IconImage>& images) {
    QIcon icon;
    for (const IconImage& image : images) {
        icon.addPixmap(QPixmap::fromImage(ToImage(image)));
    }
    return icon;
}

QString ToQString(const std::u16string& text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace cyclara::qt
