// Identifiers shared by the resource script and the code. -1 (IDC_STATIC) marks a control that
// the program never addresses. The texts of the resources are in strings.h.
#pragma once

#define IDC_STATIC (-1)

// The command of the close box, Esc and a Cancel button, as the dialog manager numbers it (the
// portable code has no windows.h to take it from).
#ifndef IDCANCEL
#define IDCANCEL 2
#endif

// Dialog templates and other named resources (by name, not by number).
#define IDD_MAIN "VELMORA"
#define IDD_MODETIMING "MODETIMING"
#define IDD_DISCLAIMER "DISCLAIMER"
#define IDD_ABOUT "ABOUT"
#define IDR_MENU "MENU"
#define IDI_ORVANE "ORVANEICON"

// Disclaimer.
#define IDC_ACCEPT 1
#define IDC_DISAGREE 2
#define IDC_DONT_SHOW_AGAIN 1030
#define IDC_DISCLAIMER_TEXT 1031

// About box.
#define IDC_ABOUT_CLOSE 2
#define IDC_PRODUCT_LINE 1034

// Add-mode dialog.
#define IDC_MODE_WIDTH 1025
#define IDC_MODE_HEIGHT 1023
#define IDC_MODE_REFRESH 1024

// Main window.
#define IDC_MODE_LIST 1004
#define IDC_ADD 1001
#define IDC_MODIFY 1002
#define IDC_REMOVE 1003
#define IDC_APPLY 1033
#define IDC_DISCLAIMER 1021
#define IDC_DOUBLE_SCAN 1026
#define IDC_INTERLACED 1027
#define IDC_HSYNC_NEGATIVE 1028
#define IDC_VSYNC_NEGATIVE 1029
#define IDC_HORIZONTAL_TOTAL 1006
#define IDC_HORIZONTAL_DISPLAY 1007
#define IDC_HORIZONTAL_SYNC_START 1008
#define IDC_HORIZONTAL_SYNC_WIDTH 1009
#define IDC_VERTICAL_TOTAL 1010
#define IDC_VERTICAL_DISPLAY 1011
#define IDC_VERTICAL_SYNC_START 1012
#define IDC_VERTICAL_SYNC_WIDTH 1013
#define IDC_PIXEL_CLOCK 1014
#define IDC_OVERSCAN_BLUE 1015
#define IDC_HORIZONTAL_OVERSCAN_RIGHT 1016
#define IDC_HORIZONTAL_OVERSCAN_LEFT 1017
#define IDC_VERTICAL_OVERSCAN_TOP 1018
#define IDC_VERTICAL_OVERSCAN_BOTTOM 1019
#define IDC_OVERSCAN_GREEN_RED 1020

// The main window's controls that have an identifier, in template order, and those among them
// that the template creates disabled: what the native stand-in of the window starts from. The
// resources test holds both lists against the compiled template.
#define MAIN_WINDOW_CONTROLS                                                                       \
    IDC_MODE_LIST, IDC_ADD, IDC_REMOVE, IDC_MODIFY, IDC_APPLY, IDC_DISCLAIMER, IDC_DOUBLE_SCAN,    \
        IDC_INTERLACED, IDC_HSYNC_NEGATIVE, IDC_VSYNC_NEGATIVE, IDC_HORIZONTAL_TOTAL,              \
        IDC_HORIZONTAL_DISPLAY, IDC_HORIZONTAL_SYNC_START, IDC_HORIZONTAL_SYNC_WIDTH,              \
        IDC_PIXEL_CLOCK, IDC_VERTICAL_TOTAL, IDC_VERTICAL_DISPLAY, IDC_VERTICAL_SYNC_START,        \
        IDC_VERTICAL_SYNC_WIDTH, IDC_OVERSCAN_BLUE, IDC_HORIZONTAL_OVERSCAN_RIGHT,                 \
        IDC_HORIZONTAL_OVERSCAN_LEFT, IDC_VERTICAL_OVERSCAN_TOP, IDC_VERTICAL_OVERSCAN_BOTTOM,     \
        IDC_OVERSCAN_GREEN_RED
#define MAIN_WINDOW_DISABLED_AT_START                                                              \
    IDC_REMOVE, IDC_MODIFY, IDC_APPLY, IDC_DOUBLE_SCAN, IDC_INTERLACED, IDC_HSYNC_NEGATIVE,        \
        IDC_VSYNC_NEGATIVE, IDC_HORIZONTAL_TOTAL, IDC_HORIZONTAL_DISPLAY,                          \
        IDC_HORIZONTAL_SYNC_START, IDC_HORIZONTAL_SYNC_WIDTH, IDC_PIXEL_CLOCK, IDC_VERTICAL_TOTAL, \
        IDC_VERTICAL_DISPLAY, IDC_VERTICAL_SYNC_START, IDC_VERTICAL_SYNC_WIDTH, IDC_OVERSCAN_BLUE, \
        IDC_HORIZONTAL_OVERSCAN_RIGHT, IDC_HORIZONTAL_OVERSCAN_LEFT, IDC_VERTICAL_OVERSCAN_TOP,    \
        IDC_VERTICAL_OVERSCAN_BOTTOM, IDC_OVERSCAN_GREEN_RED

// Menu commands.
#define IDM_ABOUT 40001
#define IDM_EXIT 40002
#define IDM_DISCLAIMER 40003
#define IDM_SAVE_EXIT 40005
#define IDM_DEVICE_FIRST 40006 // the Device menu's item i has 40006 + i

// String table, with the buffer limit (characters, terminating zero included) each is loaded with.
#define IDS_COLUMN_WIDTH 1
#define IDS_COLUMN_HEIGHT 2
#define IDS_COLUMN_REFRESH 3
#define IDS_DISCLAIMER 4
#define IDS_CAPTION 5
#define IDS_ACCESS_ERROR 6
#define IDS_DEVICE_MENU 7
#define IDS_UNSAVED_CHANGES 8
#define IDS_PRODUCT_LINE 9
#define IDS_NO_DEVICES 10
#define IDS_APPLY_FAILED 11

#define STRING_LIMIT 255
#define STRING_LIMIT_DISCLAIMER 1000
#define STRING_LIMIT_ACCESS_ERROR 260
