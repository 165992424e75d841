// The program's entry on Linux: the class library starts Qt and runs the application object.
#include "ui/afx.h"

int main(int argc, char** argv) {
    return AfxWinMain(argc, argv);
}
