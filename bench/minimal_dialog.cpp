// The baseline for the window's start-up and memory: a Qt 6 program that shows one empty
// dialog and nothing else.
#include <QApplication>
#include <QDialog>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle("Minimal");
    dialog.show();
    return app.exec();
}
