#include "ui/texts.h"

const char kPortOpenMenuText[] = "&Port Open";
const char kPortCloseMenuText[] = "&Port Close";
const char kPortFailedText[] = "A port does not open.";
const char kClosePortQuestion[] = "ポートを閉じますか？";
const char kExitQuestion[] = "終了しますか？";
// The fourth line names where help is, which is true wherever the program runs: the project
// has no web address of its own to give.
const char kAboutText[] =
    "Cyclara\r\nCopyright (C) 2026 the Cyclara developers\r\n\r\nHelp: F1 opens the help page";
