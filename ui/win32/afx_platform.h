// The window system's types and numbers for the Windows backend: Windows' own.
#pragma once

#include <windows.h>
