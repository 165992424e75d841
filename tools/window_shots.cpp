// Shows the program's windows on the X display and saves what the screen shows of them, for
// the documentation: window_shots FOLDER writes linux-main.png (after 1:12:34 of pulses from
// a simulated device) and linux-port.png; window_shots --screen FILE saves the part of the
// screen that windows cover, for windows another program shows.
#include "app/main_app.h"
#include "measure/line_assembler.h"
#include "measure/measurement_log.h"
#include "measure/pulse_state.h"
#include "res/resource.h"
#include "ui/main_dialog.h"

#include <QApplication>
#include <QDialog>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <functional>

namespace {

// The screen where windows are: the bounding box of what is not the empty screen's colour.
QImage Covered(const QImage& screen) {
    const QRgb empty = screen.pixel(0, 0);
    QRect box;
    for (int y = 0; y < screen.height(); ++y) {
        for (int x = 0; x < screen.width(); ++x) {
            if (screen.pixel(x, y) != empty) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return screen.copy(box);
}

QImage Screen() {
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage();
}

bool Save(const QImage& image, const QString& file) {
    const bool saved = !image.isNull() && image.save(file, "PNG");
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", file.toUtf8().constData());
    return saved;
}

// 1:12:34 of a device whose seconds are 12 us long, through the real measurement: the window
// shows exactly what it would after that time.
void SimulateADevice() {
    static cyclara::MeasurementLog noLog(cyclara::SystemLocalTime, {});
    static cyclara::PulseState pulses(WindowDisplay(), noLog);
    constexpr int64_t kTicksPerSecond = 1'000'000'000;
    constexpr int64_t kPulseTicks = 1'000'012'000;
    constexpr int64_t kIntervals = 1 * 3600 + 12 * 60 + 34;
    constexpr int64_t kPulsesBeforeTheFirstInterval = 3;  // two warm-up pulses, the reference
    pulses.Reset(kTicksPerSecond);
    for (int64_t pulse = 0; pulse < kPulsesBeforeTheFirstInterval + kIntervals; ++pulse) {
        pulses.OnDsrOn(pulse * kPulseTicks);
    }
    for (const char ch : std::string("60Hz\r\n")) {
        cyclara::ProcessLineAssembler().AppendLineChar(ch, WindowDisplay());
    }
}

// Each step runs once the previous one has let the windows settle on the screen.
void Then(std::function<void()> step) {
    QTimer::singleShot(500, std::move(step));
}

int ShootTheProgram(const QString& folder) {
    theApp.m_pszAppName = "cyclara";
    CMainDialog window(nullptr);
    theApp.m_pMainWnd = &window;
    bool saved = true;
    Then([&] {
        SimulateADevice();
        Then([&] {
            saved &= Save(Covered(Screen()), folder + "/linux-main.png");
            Then([&] {
                QWidget* dialog = QApplication::activeModalWidget();
                saved &= Save(Screen().copy(dialog->frameGeometry()), folder + "/linux-port.png");
                static_cast<QDialog*>(dialog)->reject();
                window.EndDialog(IDOK);
            });
            window.OnCommandMessage(IDM_PORT);  // as the menu item does
        });
    });
    window.DoModal();
    theApp.m_pMainWnd = nullptr;
    return saved ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--screen") == 0) {
        return Save(Covered(Screen()), QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: window_shots FOLDER | window_shots --screen FILE\n");
        return 2;
    }
    return ShootTheProgram(QString::fromLocal8Bit(argv[1]));
}
