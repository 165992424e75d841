// Resource and control identifiers, shared by the resource script and the code.
#pragma once

#define IDR_MAINFRAME 128
#define IDD_MAIN 102
#define IDD_PORT 129
#define IDI_LED_ON 131
#define IDI_LED_OFF 132
#define IDR_MENU 133

#define IDC_PORT 1000
#define IDC_SPEED 1001
#define IDM_PORT 1002
#define IDM_EXIT 1003
#define IDC_ELAPSED 1004
#define IDC_WIDTH 1005
#define IDC_DIFF 1006
#define IDC_FREQ 1007
#define IDC_LED 1008
#define IDM_ABOUT 1009
