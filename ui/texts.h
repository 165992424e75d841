// The texts the program passes at run time, in one place: on Windows this file is compiled
// to code page 932, as the window system there expects 8-bit Japanese text; on Linux it is
// UTF-8.
#pragma once

extern const char kPortOpenMenuText[];
extern const char kPortCloseMenuText[];
extern const char kPortFailedText[];
extern const char kClosePortQuestion[];
extern const char kExitQuestion[];
extern const char kAboutText[];
