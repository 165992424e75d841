#include "ui/texts.h"

const char kPortOpenMenuText[] = "&Port Open";
const char kPortCloseMenuText[] = "&Port Close";
const char kPortFailedText[] = "A port does not open.";
const char kClosePortQuestion[] = "ポートを閉じますか？";
const char kExitQuestion[] = "終了しますか？";
const char kAboutText[] =
    "Cyclara\r\nCopyright (C) 2026 the Cyclara developers\r\n\r\nhttps://cyclara.example.org/";
