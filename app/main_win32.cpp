// The program's entry on Windows: the class library runs the application object.
#include "ui/afx.h"

#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return AfxWinMain(__argc, __argv);
}
