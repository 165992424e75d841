// The Qt widgets built from the compiled resources, on Qt's offscreen platform.
#include "res/resource.h"
#include "tests/qt_app.h"
#include "ui/compiled_resources.h"
#include "ui/qt/template_widgets.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include <gtest/gtest.h>

namespace cyclara::qt {
namespace {

QApplication& App() {
    return cyclara::testing::OffscreenApp();
}

const ResourceFile& Resources() {
    static const ResourceFile file = *ResourceFile::Parse(CompiledResources());
    return file;
}

DialogTemplate Dialog(uint16_t id) {
    return *ParseDialog(*Resources().Find(kRtDialog, id));
}

TEST(TemplateFontTest, MatchesTheWindowsFontsToTheIpaFonts) {
    App();
    const QFont main = TemplateFont(Dialog(IDD_MAIN));
    EXPECT_EQ(main.family(), "IPAGothic");
    EXPECT_EQ(main.pixelSize(), 12) << "9 points at 96 pixels an inch";
    EXPECT_EQ(QFontInfo(main).family(), "IPAGothic") << "the font is installed";
    const QFont port = TemplateFont(Dialog(IDD_PORT));
    EXPECT_EQ(QFontInfo(port).family(), "IPAPGothic");
    const DialogUnits units = DialogUnitsOf(main);
    EXPECT_EQ(units.baseX, 6) << "IPAGothic at 12 px is 6 px wide, like MS Gothic";
    EXPECT_GE(units.baseY, 12);
}

TEST(BuildControlsTest, MainWindowFieldsAndIndicator) {
    App();
    const DialogTemplate dialog = Dialog(IDD_MAIN);
    const DialogUnits units{6, 12};
    QWidget window;
    const auto controls = BuildControls(dialog, units, &window);
    EXPECT_EQ(window.findChildren<QLabel*>().size(), 12);
    ASSERT_EQ(controls.size(), 5u);
    for (const int field : {IDC_FREQ, IDC_ELAPSED, IDC_WIDTH, IDC_DIFF}) {
        auto* label = qobject_cast<QLabel*>(controls.at(field));
        ASSERT_NE(label, nullptr) << field;
        EXPECT_TRUE(label->alignment() & Qt::AlignRight) << field;
        EXPECT_EQ(label->frameShadow(), QFrame::Sunken) << field;
        EXPECT_EQ(label->property(kControlIdProperty).toInt(), field);
        EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
    }
    EXPECT_EQ(controls.at(IDC_FREQ)->geometry(), QRect(120, 11, 27, 15));
    EXPECT_EQ(controls.at(IDC_LED)->geometry(), QRect(179, 0, 30, 30));
    QStringList texts;
    for (QLabel* label : window.findChildren<QLabel*>()) {
        if (label->property(kControlIdProperty).toInt() == -1) {
            texts << label->text();
        }
    }
    EXPECT_EQ(texts, (QStringList{"Hz", "us", "us", "Total difference", "1PPS width",
                                  "AC Frequency", "Elapsed time"}));
}

TEST(BuildControlsTest, PortDialogButtonsAndLists) {
    App();
    QWidget dialog;
    const auto controls = BuildControls(Dialog(IDD_PORT), DialogUnits{6, 12}, &dialog);
    auto* ok = qobject_cast<QPushButton*>(controls.at(1));
    auto* cancel = qobject_cast<QPushButton*>(controls.at(2));
    ASSERT_TRUE(ok && cancel);
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_EQ(cancel->text(), QStringLiteral(u"ｷｬﾝｾﾙ"));
    EXPECT_TRUE(ok->isDefault());
    EXPECT_FALSE(cancel->isDefault());
    for (const int list : {IDC_PORT, IDC_SPEED}) {
        auto* combo = qobject_cast<QComboBox*>(controls.at(list));
        ASSERT_NE(combo, nullptr);
        EXPECT_EQ(combo->focusPolicy(), Qt::StrongFocus);
        const DialogUnits units{6, 12};
        EXPECT_LT(combo->height(), units.ToPixels(0, 0, 0, 80).height())
            << "closed, a list shows one line";
    }
    // Template order is the tab order: OK, Cancel, port list, speed list.
    const QList<QWidget*> children = dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    ASSERT_GE(children.size(), 4);
    EXPECT_EQ(children[0], ok);
    EXPECT_EQ(children[1], cancel);
    EXPECT_EQ(children[2], controls.at(IDC_PORT));
    EXPECT_EQ(children[3], controls.at(IDC_SPEED));
}

}  // namespace
}  // namespace cyclara::qt
