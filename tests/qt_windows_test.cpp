// The program's windows on the Qt backend, offscreen, driven as a user would: menus, keys,
// the port dialog and the message boxes. No test here opens a port that exists: COM20 names
// /dev/ttyACM7, absent on a machine without USB modems.
#include "app/main_app.h"
#include "measure/measurement_log.h"
#include "measure/receive_thread.h"
#include "res/resource.h"
#include "serial/serial_port.h"
#include "simulator/modem_control.h"
#include "simulator/pty.h"
#include "tests/qt_app.h"
#include "tests/temp_folder.h"
#include "ui/main_dialog.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

QApplication& App() {
    return cyclara::testing::OffscreenApp();
}

QWidget* Modal() {
    return QApplication::activeModalWidget();
}

// Which window a step acts on; the step waits until that window is the modal one on top.
enum class On { kMain, kPortDialog, kMessageBox };

bool IsOnTop(On window) {
    QWidget* top = Modal();
    if (top == nullptr || !top->isVisible()) {
        return false;
    }
    switch (window) {
        case On::kMessageBox:
            return qobject_cast<QMessageBox*>(top) != nullptr;
        case On::kPortDialog:
            return !top->findChildren<QComboBox*>().isEmpty();
        case On::kMain:
            return !top->findChildren<QMenuBar*>().isEmpty();
    }
    return false;
}

struct Step {
    On window;
    std::function<void()> action;
    std::function<bool()> ready = {};  // and, when given, until this holds
};

// Runs `steps` from the event loop while modal windows run, each once its window is on top.
// The next step is scheduled before a step runs, because a step that opens a modal window
// returns only when a later step has closed it.
void Drive(std::vector<Step> steps) {
    auto remaining = std::make_shared<std::vector<Step>>(std::move(steps));
    auto next = std::make_shared<std::function<void()>>();
    *next = [remaining, next] {
        if (remaining->empty()) {
            return;
        }
        const Step& first = remaining->front();
        if (!IsOnTop(first.window) || (first.ready && !first.ready())) {
            QTimer::singleShot(10, *next);
            return;
        }
        const Step step = remaining->front();
        remaining->erase(remaining->begin());
        QTimer::singleShot(10, *next);
        step.action();
    };
    QTimer::singleShot(10, *next);
}

QAction* MenuAction(const QString& text) {
    for (QMenuBar* bar : Modal()->findChildren<QMenuBar*>()) {
        for (QAction* popup : bar->actions()) {
            for (QAction* item : popup->menu()->actions()) {
                if (item->text() == text) {
                    return item;
                }
            }
        }
    }
    return nullptr;
}

void Choose(const QString& menuText) {
    QAction* action = MenuAction(menuText);
    ASSERT_NE(action, nullptr) << menuText.toStdString();
    action->trigger();
}

// The text of the message box on top, and presses `button`.
std::string Answer(QMessageBox::StandardButton button) {
    auto* box = qobject_cast<QMessageBox*>(Modal());
    EXPECT_NE(box, nullptr) << "no message box";
    if (box == nullptr) {
        return "";
    }
    const std::string text = (box->windowTitle() + "|" + box->text()).toStdString();
    box->button(button)->click();
    return text;
}

QComboBox* List(int index) {
    return Modal()->findChildren<QComboBox*>().at(index);
}

// Qt must exist before the window loads its icon.
struct QtFirst {
    QtFirst() { App(); }
};

// The program's own application object, named as the program on Linux is.
class MainWindowTest : public ::testing::Test {
  protected:
    MainWindowTest() {
        cyclara::RememberedPortChoice() = {};
        theApp.m_pszAppName = "cyclara";
        theApp.m_pszHelpFilePath = nullptr;
        theApp.m_pMainWnd = &window;
    }
    ~MainWindowTest() override { theApp.m_pMainWnd = nullptr; }

    QtFirst qt;
    CMainDialog window{nullptr};
};

// Enter and Escape do nothing; About names the program first; Exit and the close box ask the
// same question, and No stays; Yes to the close box ends as Cancel.
TEST_F(MainWindowTest, KeysAboutExitAndTheCloseBox) {
    std::string about, exitAsked, closeAsked;
    bool stillOpen = false;
    Drive({{On::kMain, [] { QTest::keyClick(Modal(), Qt::Key_Return); }},
           {On::kMain, [] { QTest::keyClick(Modal(), Qt::Key_Escape); }},
           {On::kMain, [&] { stillOpen = true; }},
           {On::kMain, [] { Choose("&About"); }},
           {On::kMessageBox, [&] { about = Answer(QMessageBox::Ok); }},
           {On::kMain, [] { Choose("E&xit"); }},
           {On::kMessageBox, [&] { exitAsked = Answer(QMessageBox::No); }},
           {On::kMain, [] { Modal()->close(); }},
           {On::kMessageBox, [&] { closeAsked = Answer(QMessageBox::No); }},
           {On::kMain, [] { Modal()->close(); }},
           {On::kMessageBox, [] { Answer(QMessageBox::Yes); }}});
    EXPECT_EQ(window.DoModal(), IDCANCEL);
    EXPECT_TRUE(stillOpen);
    // Four lines, the last one true: the program's help, not an address that leads nowhere.
    EXPECT_EQ(about,
              "cyclara|Cyclara\nCopyright (C) 2026 the Cyclara developers\n\n"
              "Help: F1 opens the help page");
    EXPECT_EQ(exitAsked, "cyclara|終了しますか？");
    EXPECT_EQ(closeAsked, exitAsked);
}

// What the title bar offers and whether the window can be resized, from the template's style.
struct Frame {
    bool minimiseBox;
    bool maximiseBox;
    bool closeBox;
    bool fixedSize;
    bool operator==(const Frame&) const = default;
};

Frame FrameOf(const QWidget* window) {
    const Qt::WindowFlags flags = window->windowFlags();
    return {flags.testFlag(Qt::WindowMinimizeButtonHint),
            flags.testFlag(Qt::WindowMaximizeButtonHint), flags.testFlag(Qt::WindowCloseButtonHint),
            window->minimumSize() == window->maximumSize()};
}

// Stands in for the desktop's browser: records the pages the program asks to show.
class PageRecorder : public QObject {
    Q_OBJECT
  public:
    PageRecorder() { QDesktopServices::setUrlHandler("file", this, "Show"); }
    ~PageRecorder() override { QDesktopServices::unsetUrlHandler("file"); }
    std::vector<std::string> shown;
  public slots:
    void Show(const QUrl& url) { shown.push_back(url.toLocalFile().toStdString()); }
};

// The first opening offers COM1 at 9600 and Cancel changes nothing; only the main window
// minimises and neither resizes; F1 in either window shows the help page once one is installed.
TEST_F(MainWindowTest, ThePortDialogAtFirstAndTheHelpPage) {
    PageRecorder browser;
    QString port, speed, title;
    int ports = 0, speeds = 0;
    Frame main{}, dialog{};
    std::vector<std::string> withoutPage, fromMain, fromPortDialog;
    Drive({{On::kMain, [] { QTest::keyClick(Modal(), Qt::Key_F1); }},
           {On::kMain,
            [&] {
                withoutPage = browser.shown;
                theApp.m_pszHelpFilePath = "/opt/cyclara/cyclara.html";
                QTest::keyClick(Modal(), Qt::Key_F1);
            }},
           {On::kMain,
            [&] {
                fromMain = browser.shown;
                main = FrameOf(Modal());
                Choose("&Port Open");
            }},
           {On::kPortDialog, [] { QTest::keyClick(List(1), Qt::Key_F1); }},
           {On::kPortDialog,
            [&] {
                fromPortDialog = browser.shown;
                dialog = FrameOf(Modal());
                title = Modal()->windowTitle();
                port = List(0)->currentText();
                speed = List(1)->currentText();
                ports = List(0)->count();
                speeds = List(1)->count();
                QTest::keyClick(Modal(), Qt::Key_Escape);
            }},
           {On::kMain, [] { Choose("E&xit"); }},
           {On::kMessageBox, [] { Answer(QMessageBox::Yes); }}});
    EXPECT_EQ(window.DoModal(), IDOK);
    EXPECT_EQ(title, QStringLiteral(u"シリアルポートの条件"));
    EXPECT_EQ((std::pair{port, speed}), (std::pair<QString, QString>{"COM1", "9600"}));
    EXPECT_EQ((std::pair{ports, speeds}), (std::pair{20, 12}));
    EXPECT_EQ(cyclara::RememberedPortChoice().portNumber, 1);
    EXPECT_EQ(cyclara::RememberedPortChoice().speedIndex, 6);
    EXPECT_EQ(main, (Frame{true, false, true, true}));
    EXPECT_EQ(dialog, (Frame{false, false, true, true}));
    EXPECT_TRUE(withoutPage.empty());
    EXPECT_EQ(fromMain, std::vector<std::string>{"/opt/cyclara/cyclara.html"});
    EXPECT_EQ(fromPortDialog.size(), 2);
}

TEST_F(MainWindowTest, AFailedOpeningWarnsKeepsTheMenuAndOffersTheChoiceAgain) {
    std::string warning;
    QString port, speed;
    bool menuKept = false;
    Drive({{On::kMain, [] { Choose("&Port Open"); }},
           {On::kPortDialog,
            [] {
                List(0)->setCurrentIndex(19);
                List(1)->setCurrentIndex(11);
                QTest::keyClick(Modal(), Qt::Key_Return);  // Enter chooses OK
            }},
           {On::kMessageBox, [&] { warning = Answer(QMessageBox::Ok); }},
           {On::kMain, [&] { menuKept = MenuAction("&Port Open") != nullptr; }},
           {On::kMain, [] { Choose("&Port Open"); }},
           {On::kPortDialog,
            [&] {
                port = List(0)->currentText();
                speed = List(1)->currentText();
                QTest::keyClick(Modal(), Qt::Key_Escape);
            }},
           {On::kMain, [] { Choose("E&xit"); }},
           {On::kMessageBox, [] { Answer(QMessageBox::Yes); }}});
    window.DoModal();
    EXPECT_EQ(warning, "cyclara|A port does not open.");
    EXPECT_TRUE(menuKept);
    EXPECT_EQ(port, "COM20");
    EXPECT_EQ(speed, "115200");
    EXPECT_EQ(cyclara::RememberedPortChoice().portNumber, 20);
    EXPECT_EQ(cyclara::RememberedPortChoice().speedIndex, 11);
    EXPECT_EQ(cyclara::ProcessSerialPort().IsOpen(), 0);
}

// The icon's opaque pixels, where the window's ordinary painting shows only the background.
struct IconCheck {
    int compared = 0;
    int matching = 0;
};

IconCheck CompareIcon(const QImage& painted, const QImage& ordinary, const QImage& icon,
                      QPoint origin) {
    const QRgb background = ordinary.pixel(0, ordinary.height() - 1);
    IconCheck check;
    for (int y = 0; y < icon.height(); ++y) {
        for (int x = 0; x < icon.width(); ++x) {
            const QPoint at = origin + QPoint(x, y);
            if (qAlpha(icon.pixel(x, y)) == 255 && ordinary.pixel(at) == background) {
                ++check.compared;
                check.matching += painted.pixel(at) == icon.pixel(x, y) ? 1 : 0;
            }
        }
    }
    return check;
}

TEST_F(MainWindowTest, MinimisedTheWindowPaintsItsIconInTheMiddle) {
    QImage ordinary, minimised, icon;
    QPoint origin;
    Drive({{On::kMain,
            [&] {
                QWidget* main = Modal();
                const QWidget* client = main->findChild<QWidget*>("cyclaraClientArea");
                ASSERT_NE(client, nullptr);
                // Truncating toward zero, as the window system's integers divide.
                origin = client->pos() +
                         QPoint((client->width() - 32 + 1) / 2, (client->height() - 32 + 1) / 2);
                icon = main->windowIcon().pixmap(32, 32).toImage().convertToFormat(
                    QImage::Format_ARGB32);
                ordinary = main->grab().toImage().convertToFormat(QImage::Format_RGB32);
                main->setWindowState(Qt::WindowMinimized);
                minimised = main->grab().toImage().convertToFormat(QImage::Format_RGB32);
                main->setWindowState(Qt::WindowNoState);
                Choose("E&xit");
            }},
           {On::kMessageBox, [] { Answer(QMessageBox::Yes); }}});
    window.DoModal();
    ASSERT_FALSE(icon.isNull());
    const IconCheck drawn = CompareIcon(minimised, ordinary, icon, origin);
    const IconCheck notDrawn = CompareIcon(ordinary, ordinary, icon, origin);
    EXPECT_GT(drawn.compared, 300) << "too few pixels to compare";
    EXPECT_EQ(drawn.matching, drawn.compared);
    EXPECT_LT(notDrawn.matching, notDrawn.compared / 4) << "drawn while not minimised";
}

QLabel* Control(int id) {
    for (QLabel* label : Modal()->findChildren<QLabel*>()) {
        if (label->property("cyclaraControlId").toInt() == id) {
            return label;
        }
    }
    return nullptr;
}

QString FieldText(int id) {
    return Control(id) != nullptr ? Control(id)->text() : "?";
}

// A pixel inside the lamp, lit or unlit.
QRgb LampPixel() {
    return Control(IDC_LED) != nullptr ? Control(IDC_LED)->pixmap().toImage().pixel(4, 17) : 0;
}

constexpr QRgb kLit = 0xFF00FF00;
constexpr QRgb kUnlit = 0xFF008000;

// A pseudo-terminal with emulated modem lines behind every port number.
class OpenPortTest : public MainWindowTest {
  protected:
    OpenPortTest()
        : modem(cyclara::simulator::ModemControl::ForThisProcess()),
          slot(modem.Attach(pty.SlavePath())) {
        cyclara::ProcessSerialPort().SetPathFor([path = pty.SlavePath()](int32_t) { return path; });
        cyclara::ProcessMeasurementLog().SetFolders({[this] { return logs.WithSeparator(); }});
    }
    ~OpenPortTest() override {
        cyclara::ProcessSerialPort().SetPathFor(cyclara::DevicePath);
        cyclara::ProcessMeasurementLog().SetFolders(cyclara::ProgramLogFolders());
        modem.Detach(slot);
    }

    void Edge(bool on) {
        modem.WaitUntilWatched(slot);
        modem.SetDsr(slot, on);
    }

    cyclara::testing::TempFolder logs;
    cyclara::simulator::Pty pty;
    cyclara::simulator::ModemControl& modem;
    int slot;
};

TEST_F(OpenPortTest, MeasuresWhileOpenAndKeepsTheFieldsAfterClosing) {
    QString frequency, afterClose;
    QRgb litWhileOn = 0, unlitAfterClose = 0;
    bool closeMenuAfterNo = false, openMenuAfterYes = false;
    std::string question;
    Drive({{On::kMain, [] { Choose("&Port Open"); }},
           {On::kPortDialog,
            [] {
                List(0)->setCurrentIndex(4);  // COM5, mapped to the pseudo-terminal
                QTest::keyClick(Modal(), Qt::Key_Return);
            }},
           {On::kMain,
            [&] {
                for (int pulse = 0; pulse < 5; ++pulse) {
                    Edge(true);
                    Edge(false);
                }
                Edge(true);
                pty.Send("60Hz\r\n");
            },
            [] { return MenuAction("&Port Close") != nullptr; }},
           {On::kMain,
            [&] {
                frequency = FieldText(IDC_FREQ);
                litWhileOn = LampPixel();
            },
            [] { return FieldText(IDC_ELAPSED) == "    0:00:03" && FieldText(IDC_FREQ) == "60"; }},
           {On::kMain, [] { Choose("&Port Close"); }},
           {On::kMessageBox, [&] { question = Answer(QMessageBox::No); }},
           {On::kMain, [&] { closeMenuAfterNo = MenuAction("&Port Close") != nullptr; }},
           {On::kMain, [] { Choose("&Port Close"); }},
           {On::kMessageBox, [] { Answer(QMessageBox::Yes); }},
           {On::kMain,
            [&] {
                openMenuAfterYes = MenuAction("&Port Open") != nullptr;
                afterClose = FieldText(IDC_ELAPSED);
                unlitAfterClose = LampPixel();
            }},
           {On::kMain, [] { Choose("E&xit"); }},
           {On::kMessageBox, [] { Answer(QMessageBox::Yes); }}});
    window.DoModal();
    EXPECT_EQ(frequency, "60");
    EXPECT_EQ(litWhileOn, kLit);
    EXPECT_EQ(question, "cyclara|ポートを閉じますか？");
    EXPECT_TRUE(closeMenuAfterNo);
    EXPECT_TRUE(openMenuAfterYes);
    EXPECT_EQ(afterClose, "    0:00:03") << "closing keeps the last texts";
    EXPECT_EQ(unlitAfterClose, kUnlit);
    EXPECT_EQ(cyclara::ProcessSerialPort().IsOpen(), 0);
}

}  // namespace

#include "qt_windows_test.moc"
