// The Qt application of a test program, on Qt's offscreen platform.
#pragma once

#include <QApplication>

namespace cyclara::testing {

inline QApplication& OffscreenApp() {
    static int argc = 1;
    static char name[] = "cyclara_test";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: the process ends with it, after the program's own statics.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

}  // namespace cyclara::testing
